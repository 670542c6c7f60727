#pragma once
// The sandbox's portable media. A drive is a directory of the sandbox ("/media-store/sda1"); plugging
// it makes its device files under "/dev" (plain files: a sandbox has no device nodes) and sends the
// kernel's uevent texts on a datagram socket the daemon watches in its epoll set. Mounting records the
// drive in the sandbox's "/proc/mounts" and puts a link to its directory at the mount point under
// "/run/media/"; nothing on the host is mounted. The installer prints what opkg prints and records the
// packages it was given; nothing is installed.

#include "platform/media.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class SimMedia : public Media {
public:
    explicit SimMedia(std::string root);
    ~SimMedia() override;
    SimMedia(const SimMedia&) = delete;
    SimMedia& operator=(const SimMedia&) = delete;

    UniqueFd openUevents(int& error, const char*& failedStep) override;
    bool blockDevices(std::vector<std::string>& names, int& error) override;
    int mount(const std::string& device, const std::string& mountPoint) override;
    int unmount(const std::string& mountPoint) override;
    InstallerRun startInstaller(const std::vector<std::string>& packages, int& error) override;
    bool mountTableChanged() override;
    bool idleWorker() const override { return false; }

    // Plugs the disk ("sda") with one vfat partition ("sda1"); the sandbox directory holding the
    // partition's files is returned (made empty when new, kept from an earlier plugging otherwise).
    // Empty when the disk is already plugged.
    std::string plug(const std::string& disk);
    // Pulls it out: a mount of it vanishes, as with a lazy unmount. False when it was not plugged.
    bool unplug(const std::string& disk);
    // The system's automounter: mounts the disk's partition at "/run/media/" + label.
    int automount(const std::string& disk, const std::string& label);
    // Sends one uevent text as the kernel would.
    void sendUevent(const std::string& text);
    // The directory of a disk's partition (whether plugged or not).
    std::string storePath(const std::string& disk) const;

    // Makes every unmount fail (EBUSY) or not.
    void setUnmountFails(bool fails);
    std::vector<std::string> plugged() const;
    // The mount points now recorded, in mounting order.
    std::vector<std::string> mountPoints() const;
    // Every installer run's packages, one list per run.
    std::vector<std::vector<std::string>> installerRuns() const;

private:
    struct Mount {
        std::string device;
        std::string mountPoint;
    };
    std::string sandboxPath(const std::string& path) const { return root_ + path; }
    int mountLocked(const std::string& device, const std::string& mountPoint);
    int unmountLocked(const std::string& mountPoint);
    void writeMounts();

    const std::string root_;
    mutable std::mutex mutex_;
    UniqueFd kernelEnd_;
    UniqueFd daemonEnd_;
    std::vector<std::string> disks_;
    std::vector<Mount> mounts_;
    std::vector<std::vector<std::string>> installerRuns_;
    bool unmountFails_ = false;
    // Counts the writings of the table; the one last told of by mountTableChanged().
    std::atomic<uint64_t> mountsWritten_{0};
    uint64_t mountsTold_ = UINT64_MAX;
};

// A mount point as "/proc/mounts" writes it: space, tab, new line and backslash as octal escapes.
std::string escapeMountField(const std::string& field);

} // namespace platform
