#pragma once
// The board's portable media: a NETLINK_KOBJECT_UEVENT socket, the device nodes of "/dev", mount(2)
// and umount(2), and opkg run directly (fork and exec, no shell between).

#include "platform/media.h"

#include <string>

namespace platform {

class LinuxMedia : public Media {
public:
    // installer: the program run for an update, looked up in PATH when it has no "/".
    explicit LinuxMedia(std::string installer = "opkg") : installer_(std::move(installer)) {}

    UniqueFd openUevents(int& error, const char*& failedStep) override;
    bool blockDevices(std::vector<std::string>& names, int& error) override;
    int mount(const std::string& device, const std::string& mountPoint) override;
    int unmount(const std::string& mountPoint) override;
    InstallerRun startInstaller(const std::vector<std::string>& packages, int& error) override;
    // The kernel marks "/proc/mounts" with POLLPRI on every change of the table.
    bool mountTableChanged() override;
    bool idleWorker() const override { return true; }

private:
    std::string installer_;
    UniqueFd mounts_;
};

} // namespace platform
