#pragma once
// The sensors' power reset: output 19 switches the sensors off for sensorResetDuration seconds. It
// runs in the rod overload sequence and every sensorResetPeriod minutes while the alarms ask for it (a
// sensor is faulty, or the oil is low unless sensorResetOnLowOil is off).

#include "core/timer_queue.h"

#include <functional>

class SensorReset {
public:
    struct Hooks {
        std::function<void(bool off)> setPowerOff; // output 19
        std::function<void()> finished;            // the sensors are powered again
        std::function<bool()> periodDue;           // the alarms ask for the periodic reset
    };
    explicit SensorReset(Hooks hooks) : hooks_(std::move(hooks)) {}

    // Powers the sensors off now; with a duration of 0 it is finished at once.
    void run();
    bool running() const { return resetTimer_.armed(); }
    // After an alarm was raised: the period starts when it is due and not running yet.
    void startPeriodIfDue();
    // After an alarm was cleared: a running period stops when no longer due.
    void stopPeriodUnlessDue();

private:
    void finish();
    void armPeriod();

    Hooks hooks_;
    Timer resetTimer_;
    Timer periodTimer_;
};
