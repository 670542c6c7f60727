// The stroke-rate tuning at the bottom of every steady cycle: the rate achieved over the cycle against
// the target (nSwings, or the smart mode's target), a step of 1 Hz per 0.1 strokes/min of the error
// on the working frequencies (drive/frequency_step.h decides which), and a save of the performance
// parameters once the target is crossed. In the emergency temperature mode the top dwell is tuned
// first, so that the cycle takes 60 / nsAlarmTempMode seconds.

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/controller.h"
#include "drive/frequency_step.h"
#include "drive/unit_settings.h"

#include <algorithm>
#include <cmath>

namespace {

const char kUnit[] = "controller";

TunedUnit tunedUnit(const Controller& controller, int n) {
    TunedUnit unit;
    unit.selected = selectedDriveOf(n).current == 1;
    unit.switchable = unitModeOf(n).current == kUnitAuto && !controller.unit(n).faulty();
    unit.freq = freqDriveOf(n).value;
    unit.minFreq = minFreqOf(n).value;
    unit.maxFreq = maxFreqOf(n).value;
    return unit;
}

} // namespace

void Controller::tuneSwings() {
    ++tuningRuns_;
    uint32_t period = now() - strokeStartMs_;
    if (isAlarmActive(kAlarmEmergencyTemperatureMode))
        tuneSwings2(period);
    if (period == 0) {
        LOG_MSG(LOG_ERR, kUnit, "Controller::tuneSwings(): error: period is 0!");
        return;
    }
    float rate = recordCycleRate(period);
    float target = strokeRateTarget();
    if ((tuningError_ > 0 && target <= rate) || (tuningError_ < 0 && target >= rate)) {
        gConfig->savePerf();
        tuningError_ = 0;
        return;
    }
    tuningError_ = target - rate;
    stepFrequencies(static_cast<int>(std::lround(10.0f * tuningError_)));
}

void Controller::rateFirstCycle() {
    uint32_t period = now() - strokeStartMs_;
    if (period > 0)
        recordCycleRate(period);
}

float Controller::recordCycleRate(uint32_t periodMs) {
    float rate = 60000.0f / static_cast<float>(periodMs);
    if (currentDynamogram_)
        currentDynamogram_->strokesPerMinute = rate;
    return rate;
}

void Controller::tuneSwings2(uint32_t periodMs) {
    if (periodMs == 0) {
        LOG_MSG(LOG_ERR, kUnit, "Controller::tuneSwings2(): error: period is 0!");
        return;
    }
    float rate = gConfig->nsAlarmTempMode.value;
    if (!(rate > 0))
        return;
    float wanted = 60.0f / rate;
    emergencyTopDwellS_ =
        std::max(0.0f, wanted - static_cast<float>(periodMs) / 1000.0f + emergencyTopDwellS_);
}

// The smart target stays within nsMin..nsMax, also before its first correction has set it (0).
float Controller::strokeRateTarget() const {
    if (gConfig->nsMode.current == 0)
        return gConfig->nSwings.value;
    return std::min(gConfig->nsMax.value, std::max(gConfig->nsMin.value, smart_.target()));
}

// Writes what the step changes through the settings, which journal and store it.
void Controller::stepFrequencies(int step) {
    FrequencyStepRules rules;
    rules.minFreqSync = gConfig->minFreqSync.value;
    rules.ratio = gConfig->pu2pu1FreqRatio.value;
    rules.switchUnits = gConfig->perfIncMode.current != 0;
    rules.priorityUnit = gConfig->prioPu1Pu2.current != 0 ? 2 : 1;
    TunedUnits before = {tunedUnit(*this, 1), tunedUnit(*this, 2)};
    TunedUnits after = applyFrequencyStep(before, step, rules);
    for (int n = 1; n <= 2; ++n) {
        const TunedUnit& unit = after[index(n)];
        if (unit.freq != before[index(n)].freq)
            freqDriveOf(n).set(unit.freq);
        if (unit.selected != before[index(n)].selected)
            selectedDriveOf(n).set(unit.selected ? 1 : 0);
    }
}

// The performance file starts afresh; the tuning forgets its error and the smart target, which the next
// correction finds again.
void Controller::resetPerformanceParameters() {
    gConfig->resetPerf();
    tuningError_ = 0;
    smart_.resetTarget();
}
