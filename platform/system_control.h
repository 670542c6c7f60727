#pragma once
// The board's clock setting, its real-time clock and the two ways out of the daemon (restart by the
// init script, reboot). On the board these are system calls and child processes; in the sandbox they
// move the platform's wall clock, write a file and let the simulator restart the daemon.

#include <ctime>

namespace platform {

// What became of a write to the real-time clock.
struct RtcWrite {
    enum Stage { kDone, kOpenFailed, kSetFailed };
    Stage stage = kDone;
    int error = 0; // errno of the failed step
};

class SystemControl {
public:
    virtual ~SystemControl() = default;

    // Sets the wall clock to this many seconds since the epoch: 0, or errno.
    virtual int setWallTime(time_t seconds) = 0;
    // Opens "/dev/rtc" read-only and sets it to this UTC broken-down time (RTC_SET_TIME).
    virtual RtcWrite writeRtc(const tm& utc) = 0;
    // "/etc/init.d/velkord.sh restart" and "/sbin/reboot", started detached: 0 once the child runs,
    // or the errno of the failed fork.
    virtual int restartDaemon() = 0;
    virtual int reboot() = 0;
};

} // namespace platform
