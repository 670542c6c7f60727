#include "platform/linux_media.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef MS_LAZYTIME
#define MS_LAZYTIME (1 << 25)
#endif

extern char** environ;

namespace platform {

namespace {

constexpr unsigned kAllGroups = 0xFFFFFFFFu;
const char kUpgradeVariable[] = "WEB_UPGRADE=1";

} // namespace

bool LinuxMedia::mountTableChanged() {
    if (!mounts_) {
        // Opened, it is told of the changes after this moment; the table is read once now anyway.
        mounts_.reset(::open("/proc/mounts", O_RDONLY | O_CLOEXEC));
        return true;
    }
    pollfd mounts{mounts_.get(), POLLPRI, 0};
    if (::poll(&mounts, 1, 0) < 0)
        return true;
    return (mounts.revents & (POLLPRI | POLLERR)) != 0;
}

UniqueFd LinuxMedia::openUevents(int& error, const char*& failedStep) {
    UniqueFd fd(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT));
    if (!fd) {
        error = errno;
        failedStep = "create";
        return fd;
    }
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_pid = static_cast<uint32_t>(::getpid());
    address.nl_groups = kAllGroups;
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = errno;
        failedStep = "bind";
        fd.reset();
    }
    return fd;
}

bool LinuxMedia::blockDevices(std::vector<std::string>& names, int& error) {
    DIR* directory = ::opendir("/dev");
    if (!directory) {
        error = errno;
        return false;
    }
    while (dirent* entry = ::readdir(directory)) {
        if (entry->d_type == DT_BLK) {
            names.emplace_back(entry->d_name);
            continue;
        }
        struct stat status {};
        std::string path = std::string("/dev/") + entry->d_name;
        if (entry->d_type == DT_UNKNOWN && ::lstat(path.c_str(), &status) == 0 && S_ISBLK(status.st_mode))
            names.emplace_back(entry->d_name);
    }
    ::closedir(directory);
    return true;
}

int LinuxMedia::mount(const std::string& device, const std::string& mountPoint) {
    std::string source = "/dev/" + device;
    if (::mount(source.c_str(), mountPoint.c_str(), "vfat", MS_NODEV | MS_NOEXEC | MS_LAZYTIME, "") != 0)
        return errno;
    return 0;
}

int LinuxMedia::unmount(const std::string& mountPoint) {
    return ::umount(mountPoint.c_str()) == 0 ? 0 : errno;
}

InstallerRun LinuxMedia::startInstaller(const std::vector<std::string>& packages, int& error) {
    InstallerRun run;
    // Everything the child needs is made before the fork: after it only async-signal-safe calls.
    std::vector<std::string> arguments{installer_};
    for (const std::string& option : installerOptions())
        arguments.push_back(option);
    arguments.insert(arguments.end(), packages.begin(), packages.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** variable = environ; *variable; ++variable)
        if (std::strncmp(*variable, "WEB_UPGRADE=", 12) != 0)
            envp.push_back(*variable);
    std::string upgrade = kUpgradeVariable;
    envp.push_back(&upgrade[0]);
    envp.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = errno;
        return run;
    }
    UniqueFd readEnd(pipeFds[0]);
    UniqueFd writeEnd(pipeFds[1]);
    int nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (nullFd < 0) {
        error = errno;
        return run;
    }
    UniqueFd input(nullFd);
    pid_t pid = ::fork();
    if (pid < 0) {
        error = errno;
        return run;
    }
    if (pid == 0) {
        ::dup2(input.get(), STDIN_FILENO);
        ::dup2(writeEnd.get(), STDOUT_FILENO);
        ::dup2(writeEnd.get(), STDERR_FILENO);
        if (std::strchr(argv[0], '/'))
            ::execve(argv[0], argv.data(), envp.data());
        else
            ::execvpe(argv[0], argv.data(), envp.data());
        static const char kFailed[] = "exec failed\n";
        if (::write(STDERR_FILENO, kFailed, sizeof kFailed - 1) < 0) {
        }
        ::_exit(127);
    }
    ::fcntl(readEnd.get(), F_SETFL, ::fcntl(readEnd.get(), F_GETFL) | O_NONBLOCK);
    run.output = std::move(readEnd);
    run.pid = pid;
    return run;
}

} // namespace platform
