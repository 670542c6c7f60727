#include "platform/linux_system_control.h"

#include "platform/platform.h"
#include "platform/unique_fd.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/rtc.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

constexpr int kExecFailedStatus = 2;

// The child's environment, made before the fork: the daemon's without "WEB_UPGRADE", with "QUIET=1".
std::vector<std::string> childEnvironment() {
    std::vector<std::string> variables;
    for (char** entry = environ; entry && *entry; ++entry) {
        if (std::strncmp(*entry, "WEB_UPGRADE=", 12) == 0 || std::strncmp(*entry, "QUIET=", 6) == 0)
            continue;
        variables.emplace_back(*entry);
    }
    variables.emplace_back("QUIET=1");
    return variables;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> list;
    for (std::string& text : texts)
        list.push_back(&text[0]);
    list.push_back(nullptr);
    return list;
}

// Linux's directory entry as getdents64 returns it.
struct DirectoryEntry64 {
    uint64_t inode;
    int64_t offset;
    unsigned short length;
    unsigned char type;
    char name[1];
};

} // namespace

void closeListedDescriptors() {
    int directory = ::open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0)
        return;
    alignas(8) char buffer[4096];
    for (;;) {
        long length = ::syscall(SYS_getdents64, directory, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (long at = 0; at < length;) {
            const auto* entry = reinterpret_cast<const DirectoryEntry64*>(buffer + at);
            at += entry->length;
            int fd = 0;
            const char* digit = entry->name;
            if (*digit < '0' || *digit > '9')
                continue;
            for (; *digit >= '0' && *digit <= '9'; ++digit)
                fd = fd * 10 + (*digit - '0');
            if (fd != directory)
                ::close(fd);
        }
    }
    ::close(directory);
}

void closeAllDescriptors() {
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, 0u, ~0u, 0u) == 0)
        return;
#endif
    closeListedDescriptors();
}

int spawnDetached(const std::string& program, const std::vector<std::string>& arguments, pid_t* childPid) {
    std::vector<std::string> argumentTexts = arguments;
    std::vector<std::string> environmentTexts = childEnvironment();
    std::vector<char*> argv = pointers(argumentTexts);
    std::vector<char*> envp = pointers(environmentTexts);
    pid_t child = ::fork();
    if (child < 0)
        return errno;
    if (child > 0) {
        if (childPid)
            *childPid = child;
        return 0;
    }
    ::setsid();
    closeAllDescriptors();
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(kExecFailedStatus);
}

int LinuxSystemControl::setWallTime(time_t seconds) {
    timeval time{};
    time.tv_sec = seconds;
    return ::settimeofday(&time, nullptr) == 0 ? 0 : errno;
}

RtcWrite LinuxSystemControl::writeRtc(const tm& utc) {
    UniqueFd rtc(::open(rootPath("/dev/rtc").c_str(), O_RDONLY | O_CLOEXEC));
    if (!rtc)
        return {RtcWrite::kOpenFailed, errno};
    rtc_time time{};
    time.tm_sec = utc.tm_sec;
    time.tm_min = utc.tm_min;
    time.tm_hour = utc.tm_hour;
    time.tm_mday = utc.tm_mday;
    time.tm_mon = utc.tm_mon;
    time.tm_year = utc.tm_year;
    time.tm_wday = utc.tm_wday;
    time.tm_yday = utc.tm_yday;
    time.tm_isdst = utc.tm_isdst;
    if (::ioctl(rtc.get(), RTC_SET_TIME, &time) != 0)
        return {RtcWrite::kSetFailed, errno};
    return {};
}

int LinuxSystemControl::restartDaemon() {
    return spawnDetached("/etc/init.d/velkord.sh", {"velkord.sh", "restart"});
}

int LinuxSystemControl::reboot() {
    return spawnDetached("/sbin/reboot", {"reboot"});
}

} // namespace platform
