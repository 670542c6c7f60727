// Oil overheating (states 6-8): above tempStopWork the drive goes down at mainPumpFreq, waits at the
// bottom, then runs the main pump against open valves to cool the oil; below tempStartWork it
// restarts. With the extra cooling pump chosen (coolingPump "Дополнительный") it only stops.

#include "config/config.h"
#include "core/registry.h"
#include "drive/controller.h"
#include "drive/unit_settings.h"

namespace {

constexpr float kHaltMarginCelsius = 5.0f;

bool bothValvesOff() {
    return gConfig->ev1Mode.current == kUnitOff && gConfig->ev2Mode.current == kUnitOff;
}

bool coolingRunUnit(int unit) {
    int mode = unitModeOf(unit).current;
    int wanted = unit == 1 ? 0 : 1;
    return mode == kUnitOn || (mode == kUnitAuto && gConfig->prioPu1Pu2.current == wanted);
}

} // namespace

void Controller::superviseOilOverheat(float celsius, float previous) {
    float stopAbove = gConfig->tempStopWork.value;
    if (celsius > stopAbove) {
        raiseAlarm(
            makeAlarm(kAlarmOilOverheat, automatic() ? alarmText(kAlarmOilOverheat) : "22. Перегрев масла."));
        dwellTimer_.cancel();
        if (gConfig->coolingPump.current != 0 || !automatic()) {
            // The extra pump cools; the drive stands still (state 0) until the oil is cool again.
            if (state_ != kStopped || unit1_->running() || unit2_->running() || valveOn(1) || valveOn(2))
                halt(true);
        } else if (state_ != kOverheatDown && state_ != kOverheatBottom && state_ != kCoolingRun) {
            enterOverheatDown();
        }
    }
    // Still hotter in the cooling run: the pump stops; the cycle stays in state 8.
    float haltAbove = stopAbove + kHaltMarginCelsius;
    if (state_ == kCoolingRun && celsius > haltAbove && !(previous > haltAbove) &&
        gConfig->coolingPump.current == 0 && !bothValvesOff()) {
        halt(true);
        enterState(kCoolingRun);
    }
    if (celsius < gConfig->tempStartWork.value && clearAlarm(kAlarmOilOverheat) && automatic() &&
        !stopReasonActive()) {
        enterState(kFirstUp);
        beginUpStroke();
    }
}

void Controller::enterOverheatDown() {
    enterState(kOverheatDown);
    unit1_->stop(true);
    unit2_->stop(true);
    unit1_->setSetPoint(gConfig->mainPumpFreq.value);
    unit2_->setSetPoint(gConfig->mainPumpFreq.value);
    bool atBottom = unit1_->bottomSensor() == kSensorActive;
    uint32_t limitMs = 0;
    if (atBottom)
        downLimit_.descentOver(); // there is no descent to limit
    else
        limitMs = downStrokeLimitMs();
    openValves();
    if (anyValveSelected())
        armMaxDownTimer();
    if (atBottom) {
        onOverheatBottom();
        return;
    }
    armStateTimer("overheatDown1", limitMs);
}

// At the bottom the rod waits downTimeMax before the cooling run.
void Controller::onOverheatBottom() {
    maxDownTimer_.cancel();
    // Resting on the bottom sensor is what this state is for (see onOverloadBottom).
    botSensorTimeout_.cancel();
    enterState(kOverheatBottom);
    armStateTimer("overheatDown2", static_cast<uint32_t>(gConfig->downTimeMax.value * 1000.0f));
}

void Controller::startCoolingRun() {
    enterState(kCoolingRun);
    for (int valve = 1; valve <= 2; ++valve)
        if (valveModeOf(valve).current != kUnitOff)
            setValve(valve, true);
    float frequency = gConfig->mainPumpFreq.value;
    for (int n = 1; n <= 2; ++n)
        if (coolingRunUnit(n))
            unit(n).start(frequency);
    armStateTimer("Cooling", static_cast<uint32_t>(gConfig->mainPumpMaxTime.value * 60000.0f));
}
