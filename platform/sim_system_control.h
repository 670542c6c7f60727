#pragma once
// The sandbox's clock setting, RTC, restart and reboot: nothing reaches the host. Setting the time
// moves the platform's wall clock; the RTC is the sandbox file "/dev/rtc", which keeps the last time
// written to it (its absence fails the open as a board without the device would); restart and reboot
// are handed to whoever runs the daemon (the simulator starts it again on the same sandbox).

#include "platform/system_control.h"

#include <functional>
#include <string>

namespace platform {

class Clock;

enum class PowerAction { kRestart, kReboot };

class SimSystemControl : public SystemControl {
public:
    explicit SimSystemControl(Clock& clock) : clock_(clock) {}

    int setWallTime(time_t seconds) override;
    RtcWrite writeRtc(const tm& utc) override;
    int restartDaemon() override { return request(PowerAction::kRestart); }
    int reboot() override { return request(PowerAction::kReboot); }

    // Told of every restart or reboot; without a listener they are only counted.
    void setPowerListener(std::function<void(PowerAction)> listener) { listener_ = std::move(listener); }
    int restarts() const { return restarts_; }
    int reboots() const { return reboots_; }
    // A test's failing fork: the next requests answer this errno (0: they succeed).
    void setForkError(int error) { forkError_ = error; }

    // The text the RTC stand-in holds for a UTC time ("2028-02-29 12:00:00 UTC").
    static std::string rtcText(const tm& utc);

private:
    int request(PowerAction action);

    Clock& clock_;
    std::function<void(PowerAction)> listener_;
    int restarts_ = 0;
    int reboots_ = 0;
    int forkError_ = 0;
};

} // namespace platform
