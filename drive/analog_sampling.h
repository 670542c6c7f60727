#pragma once
// The analogue sampling on the "adc" timer: НУ1's inductive position sensors about every 9 ms, and the
// pressure sensor ДД every 50 ms, from which the rod load follows (a broken ДД is alarm 22).

#include "core/timer_queue.h"
#include "drive/pump_unit.h"
#include "drive/supervision_actions.h"

#include <cstdint>
#include <functional>

class AnalogSampling {
public:
    struct Hooks {
        std::function<int(int channel)> read; // converter counts 0-4095, negative without a converter
        std::function<void(bool top, float volts)> position;
        std::function<void(float load)> loadSampled;
    };
    static constexpr uint32_t kFirstMs = 50;
    static constexpr uint32_t kPressureStepMs = 50;

    AnalogSampling(SupervisionActions& actions, PumpUnit& unit, Hooks hooks)
        : actions_(actions), unit_(unit), hooks_(std::move(hooks)) {}

    // The first run kFirstMs from now.
    void start();

private:
    void onTimer();
    void samplePosition(int channel, bool top);
    void samplePressure();

    SupervisionActions& actions_;
    PumpUnit& unit_;
    Hooks hooks_;
    Timer timer_;
    uint32_t pressureDueMs_ = 0;
};
