// The down stroke's limit.

#include "drive/down_stroke_limit.h"

#include "config/config.h"
#include "core/registry.h"
#include "drive/controller_types.h"
#include "drive/unit_settings.h"

namespace {

// Alarms that leave the bottom sensor untrusted: the down stroke is then timed.
constexpr int32_t kBottomSensorDistrusted[] = {24, 28, 29, 30};

// A unit takes part unless it is switched off; it is then at its maximum when it is selected and its
// working frequency is not below its maximum frequency.
bool atMaximumIfTakingPart(int unit) {
    if (unitModeOf(unit).current == kUnitOff)
        return true;
    return selectedDriveOf(unit).current == 1 && freqDriveOf(unit).value >= maxFreqOf(unit).value;
}

bool valveTakesPart(int valve) {
    return valveModeOf(valve).current == kUnitOff || selectedValveOf(valve).current == 1;
}

} // namespace

bool DownStrokeLimit::brokenSensorLimitApplies() const {
    if (gConfig->downTimeOnBrokenSensor.value <= 0)
        return false;
    for (int32_t code : kBottomSensorDistrusted)
        if (actions_.isAlarmActive(code))
            return true;
    return false;
}

bool DownStrokeLimit::strokeRateLimitApplies(uint32_t upStrokeMs, uint32_t downStrokeMs) const {
    if (gConfig->longDownTurn.current == 1 || upStrokeMs == 0 || downStrokeMs == 0)
        return false;
    return atMaximumIfTakingPart(1) && atMaximumIfTakingPart(2) && valveTakesPart(1) && valveTakesPart(2);
}

// Alarm 26 tells the stroke is shortened for the stroke rate; it is held to the end of this stroke.
void DownStrokeLimit::mark() {
    inForce_ = true;
    markedThisStroke_ = true;
    actions_.raiseAlarm(makeAlarm(kAlarmStrokeShortenedByRate));
}

// 1. With the bottom sensor untrusted and downTimeOnBrokenSensor set: that time.
// 2. With everything at its maximum and the stroke rate to be kept: the down stroke's share of the
//    period the required rate allows.
// 3. Otherwise downTimeMax.
uint32_t DownStrokeLimit::limitMs(uint32_t upStrokeMs, uint32_t downStrokeMs) {
    inForce_ = false;
    if (brokenSensorLimitApplies())
        return static_cast<uint32_t>(gConfig->downTimeOnBrokenSensor.value * 1000.0f);
    if (strokeRateLimitApplies(upStrokeMs, downStrokeMs)) {
        float rate = gConfig->nsMode.current != 0 ? gConfig->nsMin.value : gConfig->nSwings.value;
        double up = upStrokeMs;
        double down = downStrokeMs;
        mark();
        return static_cast<uint32_t>(down * 60000.0 / ((up + down) * rate));
    }
    return static_cast<uint32_t>(gConfig->downTimeMax.value * 1000.0f);
}

// A bottom-sensor fault that cleared during a down stroke no longer keeps the stroke rate from
// deciding: alarm 26 is raised when the rate's conditions now hold. The stroke under way keeps the
// time it was given; the next one is limited by the rate.
void DownStrokeLimit::reevaluate(uint32_t upStrokeMs, uint32_t downStrokeMs) {
    if (!brokenSensorLimitApplies() && strokeRateLimitApplies(upStrokeMs, downStrokeMs))
        mark();
}
