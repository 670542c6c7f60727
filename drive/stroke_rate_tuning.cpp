// The stroke-rate tuning: drive/frequency_step.h decides which working frequency a step changes; the
// result is written through the settings, which journal and store it. In the emergency temperature
// mode the top dwell is stretched so that the cycle takes 60 / nsAlarmTempMode seconds.

#include "drive/stroke_rate_tuning.h"

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/controller_types.h"
#include "drive/frequency_step.h"
#include "drive/unit_settings.h"

#include <algorithm>
#include <cmath>

namespace {

const char kUnit[] = "controller";

size_t index(int n) {
    return n == 2 ? 1 : 0;
}

} // namespace

void StrokeRateTuning::cycleFinished(uint32_t period) {
    ++runs_;
    if (hooks_.emergency())
        tuneTopDwell(period);
    if (period == 0) {
        LOG_MSG(LOG_ERR, kUnit, "Controller::tuneSwings(): error: period is 0!");
        return;
    }
    float rate = measure(period);
    float wanted = target();
    if ((error_ > 0 && wanted <= rate) || (error_ < 0 && wanted >= rate)) {
        gConfig->savePerf();
        error_ = 0;
        return;
    }
    error_ = wanted - rate;
    stepFrequencies(static_cast<int>(std::lround(10.0f * error_)));
}

void StrokeRateTuning::firstCycleFinished(uint32_t period) {
    if (period > 0)
        measure(period);
}

float StrokeRateTuning::measure(uint32_t periodMs) {
    float rate = 60000.0f / static_cast<float>(periodMs);
    hooks_.rateMeasured(rate);
    return rate;
}

void StrokeRateTuning::tuneTopDwell(uint32_t periodMs) {
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
float StrokeRateTuning::target() const {
    if (gConfig->nsMode.current == 0)
        return gConfig->nSwings.value;
    return std::min(gConfig->nsMax.value, std::max(gConfig->nsMin.value, smart_.target()));
}

void StrokeRateTuning::stepFrequencies(int step) {
    FrequencyStepRules rules;
    rules.minFreqSync = gConfig->minFreqSync.value;
    rules.ratio = gConfig->pu2pu1FreqRatio.value;
    rules.switchUnits = gConfig->perfIncMode.current != 0;
    rules.priorityUnit = gConfig->prioPu1Pu2.current != 0 ? 2 : 1;
    TunedUnits before;
    for (int n = 1; n <= 2; ++n) {
        TunedUnit& unit = before[index(n)];
        unit.selected = selectedDriveOf(n).current == 1;
        unit.switchable = unitModeOf(n).current == kUnitAuto && !hooks_.faulty(n);
        unit.freq = freqDriveOf(n).value;
        unit.minFreq = minFreqOf(n).value;
        unit.maxFreq = maxFreqOf(n).value;
    }
    TunedUnits after = applyFrequencyStep(before, step, rules);
    for (int n = 1; n <= 2; ++n) {
        const TunedUnit& unit = after[index(n)];
        if (unit.freq != before[index(n)].freq)
            freqDriveOf(n).set(unit.freq);
        if (unit.selected != before[index(n)].selected)
            selectedDriveOf(n).set(unit.selected ? 1 : 0);
    }
}

void StrokeRateTuning::resetPerformance() {
    gConfig->resetPerf();
    error_ = 0;
    smart_.resetTarget();
}

void StrokeRateTuning::enterEmergencyMode() {
    error_ = 0;
    emergencyTopDwellS_ = std::max(gConfig->delayTDP.value, 0.0f);
}
