#pragma once
// The stroke-rate tuning at the bottom of every steady cycle: the rate achieved over the cycle against
// the target (nSwings, or the smart mode's target), a step of 1 Hz per 0.1 strokes/min of the error on
// the working frequencies, and a save of the performance parameters once the target is crossed. In
// the emergency temperature mode the top dwell is tuned first. It owns the smart mode's correction.

#include "drive/smart_correction.h"

#include <cstdint>
#include <functional>

class StrokeRateTuning {
public:
    struct Hooks {
        std::function<bool()> emergency; // the emergency temperature mode is on
        std::function<bool(int unit)> faulty;
        std::function<void(float rate)> rateMeasured; // strokes a minute of the cycle just ended
    };
    // The completed dynamograms and their count, for the smart mode.
    StrokeRateTuning(const SmartCorrection::Records& records, const uint32_t& completed, Hooks hooks)
        : hooks_(std::move(hooks)), smart_(records, completed) {}

    // The bottom of a steady cycle that took periodMs.
    void cycleFinished(uint32_t periodMs);
    // The first cycle after a start is not tuned, but its rate is measured.
    void firstCycleFinished(uint32_t periodMs);
    // The performance file starts afresh; the error and the smart target are found again.
    void resetPerformance();
    // The emergency temperature mode begins: its top dwell starts at delayTDP.
    void enterEmergencyMode();

    // How often the tuning was due, the error of the last tuned cycle (target - rate), the top dwell
    // of the emergency temperature mode (s).
    uint32_t runs() const { return runs_; }
    float error() const { return error_; }
    float emergencyTopDwell() const { return emergencyTopDwellS_; }
    SmartCorrection& smart() { return smart_; }
    const SmartCorrection& smart() const { return smart_; }

private:
    float measure(uint32_t periodMs);
    void tuneTopDwell(uint32_t periodMs);
    float target() const;
    void stepFrequencies(int step);

    Hooks hooks_;
    uint32_t runs_ = 0;
    float error_ = 0;
    float emergencyTopDwellS_ = 0;
    SmartCorrection smart_;
};
