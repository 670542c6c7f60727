#pragma once
// A serial port with the line settings of the Modbus lines: raw mode at a chosen speed and character
// format, the transmitter switched by RTS (RS-485). Used by the drive bus master and the SCADA slave.

#include "fieldbus/bytes.h"
#include "fieldbus/descriptor_io.h"
#include "platform/serial.h"

#include <memory>
#include <string>
#include <termios.h>

class EPoller;

class SerialPort {
public:
    static constexpr int kDefaultBaudrate = 9600;

    const std::string& device() const { return device_; }
    // Closes the port if open, then stores the path (a board path, resolved through the platform).
    void setDevice(const std::string& path);

    int baudrate() const { return baudrate_; }
    speed_t speedCode() const { return speedCode_; }
    // 300, 600, 1200, 1800, 2400, 4800, 9600, 19200, 38400, 57600 or 115200; any other value is 9600.
    // An open port gets the new speed at once.
    void setBaudrate(int baud);

    // Character format, applied at the next open: 5-8 data bits, 1 or 2 stop bits, parity.
    void setDataBits(int bits) { dataBits_ = bits; }
    void setStopBits(int bits) { stopBits_ = bits; }
    void setParity(bool enabled, bool odd) {
        parityEnabled_ = enabled;
        oddParity_ = odd;
    }
    int dataBits() const { return dataBits_; }
    int stopBits() const { return stopBits_; }

    // Opens read-write and non-blocking through the platform, applies the line settings and RS-485
    // mode; every failure is logged and leaves the port closed.
    bool open();
    void close() { line_.reset(); }
    bool isOpen() const { return line_ != nullptr; }
    // The descriptor, -1 when closed or when the line lives inside the process.
    int fd() const { return line_ ? line_->descriptor() : -1; }

    // Makes the owner's registration for this port's events (0: none): the epoll set for a
    // descriptor, the platform's local events for a line inside the process.
    void watch(EPoller& owner, uint32_t events);
    // One read of at most `size` bytes; writes what the port takes of `pending` and drops it there.
    IoOutcome read(uint8_t* buffer, size_t size);
    IoOutcome writePending(Bytes& pending);

    // Turns a port's current settings into this port's line settings (raw mode, speed, format).
    void fillLineSettings(termios& settings) const;

private:
    bool applyLineSettings(platform::SerialDevice& device);
    bool enableRs485(platform::SerialDevice& device);

    std::string device_;
    int baudrate_ = kDefaultBaudrate;
    speed_t speedCode_ = B9600;
    int dataBits_ = 7;
    int stopBits_ = 1;
    bool parityEnabled_ = false;
    bool oddParity_ = false;
    std::unique_ptr<platform::SerialDevice> line_;
};
