#pragma once
// The board's clock, RTC, restart and reboot: settimeofday, RTC_SET_TIME on "/dev/rtc", and detached
// children running the init script or the reboot command.

#include "platform/system_control.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

class LinuxSystemControl : public SystemControl {
public:
    int setWallTime(time_t seconds) override;
    RtcWrite writeRtc(const tm& utc) override;
    int restartDaemon() override;
    int reboot() override;
};

// Forks a child that starts a new session, closes every descriptor, drops "WEB_UPGRADE" from its
// environment, sets "QUIET" to "1" and executes the program with these arguments (the first is its
// name), ending with status 2 when that fails. Returns 0 (the child's pid in childPid, if given), or
// the errno of a failed fork. The child is not waited for here: the daemon's SIGCHLD handler reaps it.
int spawnDetached(const std::string& program, const std::vector<std::string>& arguments,
                  pid_t* childPid = nullptr);

// Closes every descriptor of the calling process in one call (close_range), or, on kernels without
// it, those listed in /proc/self/fd. Safe between fork and exec: no allocation.
void closeAllDescriptors();
// The fallback alone: every descriptor /proc/self/fd lists.
void closeListedDescriptors();

} // namespace platform
