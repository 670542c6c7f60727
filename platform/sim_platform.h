#pragma once
// The simulated board: a sandbox directory as the root and stand-ins for the devices.

#include "platform/local_serial_line.h"
#include "platform/platform.h"
#include "platform/sim_framebuffer.h"
#include "platform/sim_media.h"
#include "platform/sim_modem_link.h"
#include "platform/sim_serial_line.h"
#include "platform/sim_spi.h"
#include "platform/sim_system_control.h"
#include "platform/unique_fd.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// The watchdog stand-in is the file "/dev/watchdog" of the sandbox. Like the real device it can be
// held by one opener only (an exclusive lock; a second opener gets EBUSY); it holds the last byte
// written, so "V" is left behind after a clean stop.
class SimWatchdog : public Watchdog {
public:
    int open() override;
    bool isOpen() const override { return fd_.valid(); }
    void write(char byte) override;
    void close() override { fd_.reset(); }

    uint64_t bytesWritten() const { return bytesWritten_; }

private:
    UniqueFd fd_;
    uint64_t bytesWritten_ = 0;
    char lastByte_ = 0;
};

// The partitions are plain 0x20000-byte files of the sandbox ("/dev/mtd2", "/dev/mtd3"). Files have no
// write protection, so unlock and lock succeed without effect; erase fills the region with 0xFF.
class SimMtd : public Mtd {
public:
    int unlock(int, uint32_t, uint32_t) override { return 0; }
    int erase(int fd, uint32_t start, uint32_t length) override;
    int lock(int, uint32_t, uint32_t) override { return 0; }
};

// The simulated ports are ptys, which have no RS-485 mode: the line is plain serial. Tests can make
// the setup fail as a board's port might.
class SimRs485 : public Rs485 {
public:
    Rs485Result enable(int, uint32_t rtsDelayAfterSendMs) override {
        lastRtsDelayMs_ = rtsDelayAfterSendMs;
        return result_;
    }
    void setResult(Rs485Result result) { result_ = result; }
    uint32_t lastRtsDelayMs() const { return lastRtsDelayMs_; }

private:
    Rs485Result result_;
    uint32_t lastRtsDelayMs_ = 0;
};

// The simulated ports: the lines inside the process by their board paths, any other path a device
// file of the sandbox (a pty's link).
class SimSerialPorts : public SerialPorts {
public:
    explicit SimSerialPorts(std::vector<std::unique_ptr<LocalSerialLine>>& localLines)
        : localLines_(localLines) {}
    std::unique_ptr<SerialDevice> open(const std::string& path, int& error) override;

private:
    std::vector<std::unique_ptr<LocalSerialLine>>& localLines_;
    DescriptorSerialPorts files_;
};

// What the drive bus "/dev/ttyS2" of the simulated board is: a pty like the SCADA line "/dev/ttyS1"
// (a test plays the far end through a descriptor), or a line inside the process on the clock, which
// costs no system call and carries bytes at their real line time.
enum class DriveBusLine { kPty, kLocal };

class SimPlatform : public Platform {
public:
    // The serial ports "/dev/ttyS1", "/dev/ttyS2" and the modem's "/dev/ttyUSB2" are made at construction:
    // ptys in the sandbox, or for the drive bus a line inside the process.
    SimPlatform(std::string sandboxRoot, std::unique_ptr<Clock> clock,
                DriveBusLine driveBus = DriveBusLine::kPty);
    Watchdog& watchdog() override { return watchdog_; }
    SimWatchdog& simWatchdog() { return watchdog_; }
    Mtd& mtd() override { return mtd_; }
    FramebufferDevice& framebuffer() override { return framebuffer_; }
    SimFramebuffer& simFramebuffer() { return framebuffer_; }
    Spi& spi() override { return spi_; }
    SimSpi& simSpi() { return spi_; }
    SerialPorts& serialPorts() override { return serialPorts_; }
    Rs485& rs485() override { return rs485_; }
    SimRs485& simRs485() { return rs485_; }
    ModemLink& modemLink() override { return modemLink_; }
    SimModemLink& simModemLink() { return modemLink_; }
    SystemControl& systemControl() override { return systemControl_; }
    SimSystemControl& simSystemControl() { return systemControl_; }
    Media& media() override { return media_; }
    SimMedia& simMedia() { return media_; }

    // The pty of a board path ("/dev/ttyS1"); null for a port the board lacks or a line in the process.
    SimSerialLine* serialLine(const std::string& devicePath);
    // The line inside the process of a board path; null when it is not one.
    LocalSerialLine* localLine(const std::string& devicePath);

    void attributeWritten(const std::string& boardPath, const char* text) override;
    // The last value the daemon wrote into an attribute; null while it wrote none. The text stays at
    // the same address for the platform's life, changing with every write.
    const std::string* attributeValue(const std::string& boardPath) const;

protected:
    // On standard error as the daemon's syslog echoes them there ("velkord[PID]: text"); the sandbox's
    // "/var/log/messages" has them through the observer, and the machine's own syslog is left alone.
    void toSystemLog(int priority, const std::string& line) override;

private:
    SimWatchdog watchdog_;
    SimMtd mtd_;
    SimFramebuffer framebuffer_;
    SimSpi spi_;
    SimRs485 rs485_;
    SimModemLink modemLink_;
    SimSystemControl systemControl_{clock()};
    SimMedia media_;
    std::vector<std::unique_ptr<SimSerialLine>> serialLines_;
    std::vector<std::unique_ptr<LocalSerialLine>> localLines_;
    SimSerialPorts serialPorts_{localLines_};
    std::map<std::string, std::string> attributes_;
};

} // namespace platform
