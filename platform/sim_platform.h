#pragma once
// The simulated board: a sandbox directory as the root and stand-ins for the devices.

#include "platform/platform.h"
#include "platform/sim_framebuffer.h"
#include "platform/sim_modem_link.h"
#include "platform/sim_serial_line.h"
#include "platform/sim_spi.h"
#include "platform/unique_fd.h"

#include <cstdint>
#include <memory>
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

class SimPlatform : public Platform {
public:
    // The serial ports "/dev/ttyS1", "/dev/ttyS2" and the modem's "/dev/ttyUSB2" are made as ptys in the sandbox at construction.
    SimPlatform(std::string sandboxRoot, std::unique_ptr<Clock> clock);
    Watchdog& watchdog() override { return watchdog_; }
    SimWatchdog& simWatchdog() { return watchdog_; }
    Mtd& mtd() override { return mtd_; }
    FramebufferDevice& framebuffer() override { return framebuffer_; }
    SimFramebuffer& simFramebuffer() { return framebuffer_; }
    Spi& spi() override { return spi_; }
    SimSpi& simSpi() { return spi_; }
    Rs485& rs485() override { return rs485_; }
    SimRs485& simRs485() { return rs485_; }
    ModemLink& modemLink() override { return modemLink_; }
    SimModemLink& simModemLink() { return modemLink_; }

    // The simulated serial port of a board path ("/dev/ttyS2"); null for a port the board lacks.
    SimSerialLine* serialLine(const std::string& devicePath);

private:
    SimWatchdog watchdog_;
    SimMtd mtd_;
    SimFramebuffer framebuffer_;
    SimSpi spi_;
    SimRs485 rs485_;
    SimModemLink modemLink_;
    std::vector<std::unique_ptr<SimSerialLine>> serialLines_;
};

} // namespace platform
