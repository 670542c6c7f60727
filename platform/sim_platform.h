#pragma once
// The simulated board: a sandbox directory as the root and stand-ins for the devices.

#include "platform/platform.h"
#include "platform/sim_framebuffer.h"
#include "platform/unique_fd.h"

#include <cstdint>

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
};

// The partitions are plain 0x20000-byte files of the sandbox ("/dev/mtd2", "/dev/mtd3"). Files have no
// write protection, so unlock and lock succeed without effect; erase fills the region with 0xFF.
class SimMtd : public Mtd {
public:
    int unlock(int, uint32_t, uint32_t) override { return 0; }
    int erase(int fd, uint32_t start, uint32_t length) override;
    int lock(int, uint32_t, uint32_t) override { return 0; }
};

class SimPlatform : public Platform {
public:
    SimPlatform(std::string sandboxRoot, std::unique_ptr<Clock> clock);
    Watchdog& watchdog() override { return watchdog_; }
    SimWatchdog& simWatchdog() { return watchdog_; }
    Mtd& mtd() override { return mtd_; }
    FramebufferDevice& framebuffer() override { return framebuffer_; }
    SimFramebuffer& simFramebuffer() { return framebuffer_; }

private:
    SimWatchdog watchdog_;
    SimMtd mtd_;
    SimFramebuffer framebuffer_;
};

} // namespace platform
