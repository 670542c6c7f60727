#pragma once
// The board: real clocks, real device files, paths from "/".

#include "platform/linux_framebuffer.h"
#include "platform/linux_media.h"
#include "platform/linux_modem_link.h"
#include "platform/linux_rs485.h"
#include "platform/linux_spi.h"
#include "platform/linux_system_control.h"
#include "platform/platform.h"
#include "platform/unique_fd.h"

namespace platform {

class LinuxWatchdog : public Watchdog {
public:
    int open() override;
    bool isOpen() const override { return fd_.valid(); }
    void write(char byte) override;
    void close() override { fd_.reset(); }

private:
    UniqueFd fd_;
};

// The MTD ioctls MEMUNLOCK, MEMERASE and MEMLOCK on the partition devices.
class LinuxMtd : public Mtd {
public:
    int unlock(int fd, uint32_t start, uint32_t length) override;
    int erase(int fd, uint32_t start, uint32_t length) override;
    int lock(int fd, uint32_t start, uint32_t length) override;
};

class LinuxPlatform : public Platform {
public:
    LinuxPlatform();
    Watchdog& watchdog() override { return watchdog_; }
    Mtd& mtd() override { return mtd_; }
    FramebufferDevice& framebuffer() override { return framebuffer_; }
    Spi& spi() override { return spi_; }
    SerialPorts& serialPorts() override { return serialPorts_; }
    Rs485& rs485() override { return rs485_; }
    ModemLink& modemLink() override { return modemLink_; }
    SystemControl& systemControl() override { return systemControl_; }
    Media& media() override { return media_; }

private:
    DescriptorSerialPorts serialPorts_;
    LinuxWatchdog watchdog_;
    LinuxMtd mtd_;
    LinuxFramebuffer framebuffer_;
    LinuxSpi spi_;
    LinuxRs485 rs485_;
    LinuxModemLink modemLink_;
    LinuxSystemControl systemControl_;
    LinuxMedia media_;
};

} // namespace platform
