#include "platform/sim_media.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

const char kStore[] = "/media-store/";
const char kMountsFile[] = "/proc/mounts";
const char kMediaRoot[] = "/run/media/";
const char kInstallerLog[] = "/var/lib/opkg-sim/requests";
// The device path of the board's USB host controller as its uevents name it.
const char kDevicePath[] =
    "/devices/platform/ahb/1c14000.usb/usb1/1-1/1-1:1.0/host0/target0:0:0/0:0:0:0/block/";
constexpr mode_t kDirectoryMode = 0755;

void makeDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), kDirectoryMode);
    ::mkdir(path.c_str(), kDirectoryMode);
}

void touch(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0)
        ::close(fd);
}

std::string baseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string escapeMountField(const std::string& field) {
    std::string out;
    for (char c : field) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\%03o", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

SimMedia::SimMedia(std::string root) : root_(std::move(root)) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pair) == 0) {
        kernelEnd_.reset(pair[0]);
        daemonEnd_.reset(pair[1]);
    }
    makeDirectories(sandboxPath("/dev"));
    makeDirectories(sandboxPath("/proc"));
    makeDirectories(sandboxPath("/run/media"));
    std::lock_guard<std::mutex> lock(mutex_);
    writeMounts();
}

SimMedia::~SimMedia() = default;

UniqueFd SimMedia::openUevents(int& error, const char*& failedStep) {
    int fd = daemonEnd_ ? ::fcntl(daemonEnd_.get(), F_DUPFD_CLOEXEC, 0) : -1;
    if (fd < 0) {
        error = daemonEnd_ ? errno : ENOTSOCK;
        failedStep = "create";
    }
    return UniqueFd(fd);
}

bool SimMedia::blockDevices(std::vector<std::string>& names, int& error) {
    std::vector<std::string> present;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& disk : disks_) {
            present.push_back(disk);
            present.push_back(disk + "1");
        }
    }
    // Directory order, as on the board.
    DIR* directory = ::opendir(sandboxPath("/dev").c_str());
    if (!directory) {
        error = errno;
        return false;
    }
    while (dirent* entry = ::readdir(directory))
        if (std::find(present.begin(), present.end(), entry->d_name) != present.end())
            names.emplace_back(entry->d_name);
    ::closedir(directory);
    return true;
}

int SimMedia::mount(const std::string& device, const std::string& mountPoint) {
    std::lock_guard<std::mutex> lock(mutex_);
    return mountLocked(device, mountPoint);
}

int SimMedia::mountLocked(const std::string& device, const std::string& mountPoint) {
    // Only a partition holds a file system; the whole disk has a partition table.
    std::string disk = device.substr(0, device.size() - 1);
    if (device.size() < 4 || device.back() != '1' ||
        std::find(disks_.begin(), disks_.end(), disk) == disks_.end())
        return EINVAL;
    for (const Mount& mount : mounts_)
        if (mount.mountPoint == mountPoint)
            return EBUSY;
    std::string where = sandboxPath(mountPoint);
    struct stat status {};
    if (::lstat(where.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
        return ENOENT;
    if (::rmdir(where.c_str()) != 0)
        return errno;
    if (::symlink(storePath(disk).c_str(), where.c_str()) != 0) {
        int error = errno;
        ::mkdir(where.c_str(), kDirectoryMode);
        return error;
    }
    mounts_.push_back(Mount{device, mountPoint});
    writeMounts();
    return 0;
}

int SimMedia::unmount(const std::string& mountPoint) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (unmountFails_)
        return EBUSY;
    return unmountLocked(mountPoint);
}

int SimMedia::unmountLocked(const std::string& mountPoint) {
    auto it = std::find_if(mounts_.begin(), mounts_.end(),
                           [&](const Mount& mount) { return mount.mountPoint == mountPoint; });
    if (it == mounts_.end())
        return EINVAL;
    std::string where = sandboxPath(mountPoint);
    ::unlink(where.c_str());
    ::mkdir(where.c_str(), kDirectoryMode);
    mounts_.erase(it);
    writeMounts();
    return 0;
}

bool SimMedia::mountTableChanged() {
    uint64_t written = mountsWritten_.load();
    bool changed = written != mountsTold_;
    mountsTold_ = written;
    return changed;
}

void SimMedia::writeMounts() {
    std::string text = "/dev/root / ext4 rw,relatime 0 0\nproc /proc proc rw,relatime 0 0\n";
    for (const Mount& mount : mounts_)
        text += "/dev/" + mount.device + " " + escapeMountField(mount.mountPoint) +
                " vfat rw,nosuid,nodev,noexec,lazytime,fmask=0022,dmask=0022 0 0\n";
    std::string path = sandboxPath(kMountsFile);
    std::string temporary = path + ".new";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::close(fd);
        if (written)
            ::rename(temporary.c_str(), path.c_str());
    }
    ++mountsWritten_;
}

InstallerRun SimMedia::startInstaller(const std::vector<std::string>& packages, int& error) {
    InstallerRun run;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = errno;
        return run;
    }
    UniqueFd writeEnd(pipeFds[1]);
    run.output.reset(pipeFds[0]);
    std::string text;
    std::string record;
    for (const std::string& package : packages) {
        std::string name = baseName(package);
        std::string short_ = name.substr(0, name.find('_'));
        text += "Installing " + short_ + " on root.\nConfiguring " + short_ + ".\n";
        record += package + "\n";
    }
    if (packages.empty())
        text += "Collected errors:\n * opkg_install_cmd: No packages specified.\n";
    if (::write(writeEnd.get(), text.data(), text.size()) < 0)
        error = errno;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        installerRuns_.push_back(packages);
    }
    std::string log = sandboxPath(kInstallerLog);
    makeDirectories(log.substr(0, log.rfind('/')));
    int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
        record += "--\n";
        if (::write(fd, record.data(), record.size()) < 0) {
        }
        ::close(fd);
    }
    return run;
}

std::string SimMedia::storePath(const std::string& disk) const {
    return sandboxPath(kStore + disk + "1");
}

std::string SimMedia::plug(const std::string& disk) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (std::find(disks_.begin(), disks_.end(), disk) != disks_.end())
            return std::string();
        disks_.push_back(disk);
        makeDirectories(storePath(disk));
        touch(sandboxPath("/dev/" + disk));
        touch(sandboxPath("/dev/" + disk + "1"));
    }
    sendUevent("add@" + std::string(kDevicePath) + disk);
    sendUevent("add@" + std::string(kDevicePath) + disk + "/" + disk + "1");
    return storePath(disk);
}

bool SimMedia::unplug(const std::string& disk) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = std::find(disks_.begin(), disks_.end(), disk);
        if (it == disks_.end())
            return false;
        std::vector<std::string> gone;
        for (const Mount& mount : mounts_)
            if (mount.device == disk + "1")
                gone.push_back(mount.mountPoint);
        for (const std::string& mountPoint : gone)
            unmountLocked(mountPoint);
        disks_.erase(it);
        ::unlink(sandboxPath("/dev/" + disk + "1").c_str());
        ::unlink(sandboxPath("/dev/" + disk).c_str());
    }
    sendUevent("remove@" + std::string(kDevicePath) + disk + "/" + disk + "1");
    sendUevent("remove@" + std::string(kDevicePath) + disk);
    return true;
}

int SimMedia::automount(const std::string& disk, const std::string& label) {
    std::string mountPoint = kMediaRoot + label;
    ::mkdir(sandboxPath(mountPoint).c_str(), kDirectoryMode);
    std::lock_guard<std::mutex> lock(mutex_);
    return mountLocked(disk + "1", mountPoint);
}

void SimMedia::sendUevent(const std::string& text) {
    // The kernel's message: the summary, then NUL-separated variables.
    std::string message = text + '\0' + "ACTION=" + text.substr(0, text.find('@')) + '\0';
    if (kernelEnd_ && ::send(kernelEnd_.get(), message.data(), message.size(), MSG_DONTWAIT) < 0) {
        // A full queue loses the event, as a netlink socket would.
    }
}

void SimMedia::setUnmountFails(bool fails) {
    std::lock_guard<std::mutex> lock(mutex_);
    unmountFails_ = fails;
}

std::vector<std::string> SimMedia::plugged() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return disks_;
}

std::vector<std::string> SimMedia::mountPoints() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> points;
    for (const Mount& mount : mounts_)
        points.push_back(mount.mountPoint);
    return points;
}

std::vector<std::vector<std::string>> SimMedia::installerRuns() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return installerRuns_;
}

} // namespace platform
