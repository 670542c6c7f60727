#pragma once
// Serial ports of the board: opened by path, with termios line settings, read and written without
// blocking. A port is either a descriptor the event loop watches or a line inside the process whose
// readiness the loop learns from LocalEvents.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <termios.h>

namespace platform {

// Ready events of a port, in the bits of epoll (EPOLLIN, EPOLLOUT, EPOLLERR, EPOLLHUP).
using ReadyHandler = std::function<void(uint32_t events)>;

class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // The descriptor for the event loop; -1 for a line inside the process (see watch).
    virtual int descriptor() const = 0;
    // tcgetattr; 0 or the errno value.
    virtual int getAttributes(termios& settings) = 0;
    // Drops unread input, then tcsetattr at once; 0 or the errno value.
    virtual int setAttributes(const termios& settings) = 0;
    // As read(2) and write(2) on a non-blocking descriptor: a count, 0 at the end, or -1 with errno.
    virtual ssize_t read(uint8_t* buffer, size_t size) = 0;
    virtual ssize_t write(const uint8_t* data, size_t size) = 0;
    // A line without a descriptor: the events wanted (0: none) and who gets them when they are ready.
    virtual void watch(uint32_t /*events*/, ReadyHandler /*handler*/) {}
};

class SerialPorts {
public:
    virtual ~SerialPorts() = default;

    // Opens a board path ("/dev/ttyS2") read-write, non-blocking; null with `error` set on failure.
    virtual std::unique_ptr<SerialDevice> open(const std::string& path, int& error) = 0;
};

// A port that is a descriptor: a tty on the board, a pty in the simulator.
class DescriptorSerialDevice : public SerialDevice {
public:
    // owned: the descriptor is closed with the device.
    DescriptorSerialDevice(int fd, bool owned) : fd_(fd), owned_(owned) {}
    ~DescriptorSerialDevice() override;
    DescriptorSerialDevice(const DescriptorSerialDevice&) = delete;
    DescriptorSerialDevice& operator=(const DescriptorSerialDevice&) = delete;

    int descriptor() const override { return fd_; }
    int getAttributes(termios& settings) override;
    int setAttributes(const termios& settings) override;
    ssize_t read(uint8_t* buffer, size_t size) override;
    ssize_t write(const uint8_t* data, size_t size) override;

private:
    int fd_;
    bool owned_;
};

// The ports as device files under the platform's root.
class DescriptorSerialPorts : public SerialPorts {
public:
    std::unique_ptr<SerialDevice> open(const std::string& path, int& error) override;
};

// Line time of one character in microseconds under these settings: start bit, data bits, parity bit,
// stop bits (11 bits at 8N2: about 1146 µs at 9600 baud).
uint64_t characterTimeUs(const termios& settings);

} // namespace platform
