#pragma once
// The oil level sensor УМ (inputs 9 and 10): open circuit (alarm 2) and short circuit (alarm 14) stop
// the drive at once; a low level (alarm 1) stops it once it has lasted oilSensorDelay seconds. A
// two-wire sensor cannot tell an open circuit: its monitoring is then off (alarm 31).

#include "core/timer_queue.h"
#include "drive/controller_types.h"
#include "drive/supervision_actions.h"

class OilLevel {
public:
    explicit OilLevel(SupervisionActions& actions) : actions_(actions) {}

    // The two inputs as read (oilSensorInvertion swaps them here).
    void inputsChanged(bool first, bool second);
    // oilSensorConnection changed (or is evaluated at the start).
    void connectionChanged();
    // kSensorUnknown until the inputs were first read.
    int state() const { return level_; }

private:
    void onDelay();

    SupervisionActions& actions_;
    int level_ = kSensorUnknown;
    Timer delay_;
};
