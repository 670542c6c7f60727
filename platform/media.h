#pragma once
// What the portable-media code needs of the system: the kernel's uevents, the block devices under
// "/dev", mounting and unmounting a drive, and the package installer. Paths given and returned are the
// board's ("/run/media/sda1"); files are reached through rootPath().

#include "platform/unique_fd.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// The installer's running: the read end of its output (stdout and stderr together) and its process,
// 0 when no process was started (the simulator writes the output itself).
struct InstallerRun {
    UniqueFd output;
    pid_t pid = 0;
};

class Media {
public:
    virtual ~Media() = default;

    // A non-blocking, close-on-exec descriptor whose datagrams are kernel uevent texts
    // ("add@/devices/..."); invalid with errno-style error set when it cannot be had.
    virtual UniqueFd openUevents(int& error, const char*& failedStep) = 0;
    // Names of the block devices directly under "/dev" (sda, sda1 ...), in directory order; false with
    // error when "/dev" cannot be read.
    virtual bool blockDevices(std::vector<std::string>& names, int& error) = 0;
    // Mounts "/dev/" + device at the mount point (which exists) as vfat with nodev, noexec, lazytime;
    // 0 or the errno.
    virtual int mount(const std::string& device, const std::string& mountPoint) = 0;
    // 0 or the errno.
    virtual int unmount(const std::string& mountPoint) = 0;
    // Starts the installer on these package files (full board paths, already sorted) with
    // "WEB_UPGRADE=1" in its environment and /dev/null as its input; an invalid output on failure.
    virtual InstallerRun startInstaller(const std::vector<std::string>& packages, int& error) = 0;
    // Whether the mount table may have changed since the last call (true at the first, and whenever it
    // cannot be told): "/proc/mounts" need be read only then. Called from one thread only.
    virtual bool mountTableChanged() = 0;
    // Whether the worker may run at idle priority (on the board; a loaded test host would starve it).
    virtual bool idleWorker() const = 0;
};

// The installer's fixed options, before the package paths.
inline std::vector<std::string> installerOptions() {
    return {"install", "--force-downgrade", "--force-reinstall"};
}

} // namespace platform
