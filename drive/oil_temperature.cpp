// The oil temperature: the extra cooling pump (output 21) and the oil-cooler fan (output 20) by their
// thresholds, with their feedback (inputs 11 and 15) checked 200 ms after each switching; the cooling
// system fault (alarm 38), the temperature sensor fault (alarm 21) and, with both, the emergency
// temperature mode (alarm 36).

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/controller.h"
#include "drive/discrete_inputs.h"
#include "drive/unit_settings.h"

#include <algorithm>

namespace {

const char kUnit[] = "controller";

constexpr int kPumpFeedback = kInputCoolingPumpFeedback;
constexpr int kFanFeedback = kInputFanFeedback;
constexpr float kEmergencyFrequency = 50.0f;

} // namespace

Measurement Controller::oilTemperature() const {
    return {temperatureSensorGood_ && oilTemperature_ > -273.0f, oilTemperature_};
}

void Controller::onOilTemperature(float celsius) {
    float previous = oilTemperature_;
    oilTemperature_ = celsius;
    if (modeSwitch(1) == kModeStop)
        return;
    applyTemperatureToCooling(celsius);
    superviseOilOverheat(celsius, previous);
}

void Controller::applyTemperatureToCooling(float celsius) {
    if (celsius > gConfig->tempCondOn.value)
        switchCoolingPump(true);
    else if (celsius < gConfig->tempCondOff.value)
        switchCoolingPump(false);
    if (celsius > gConfig->tempFanOn.value && celsius >= gConfig->tempFanOff.value)
        switchFan(true);
    else if (celsius < gConfig->tempFanOff.value && !isAlarmActive(kAlarmTemperatureSensorError))
        switchFan(false);
}

void Controller::switchCoolingPump(bool on) {
    if (outputOn(kCoolingPumpOutput) == on)
        return;
    setOutput(kCoolingPumpOutput, on);
    LOG_MSG(LOG_INFO, kUnit, "%s дополнительный насос охлаждения", on ? "Включен" : "Выключен");
    kkCheck_.start("kkCheck", kConfirmMs, [this] { onCoolingCheck(true); });
}

void Controller::switchFan(bool on) {
    if (outputOn(kFanOutput) == on)
        return;
    setOutput(kFanOutput, on);
    LOG_MSG(LOG_INFO, kUnit, "%s вентилятор маслоохладителя", on ? "Включен" : "Выключен");
    koCheck_.start("koCheck", kConfirmMs, [this] { onCoolingCheck(false); });
}

// A pump or fan whose feedback does not follow its output 200 ms after a switching, or at any later
// change of the feedback, is faulty; it is healthy again as soon as the two agree.
void Controller::onCoolingCheck(bool pump) {
    bool feedback = inputOn(pump ? kPumpFeedback : kFanFeedback);
    bool output = outputOn(pump ? kCoolingPumpOutput : kFanOutput);
    coolingFault_[pump ? 0 : 1] = feedback != output;
    superviseCooling();
}

void Controller::onCoolingFeedback(bool pump) {
    if (!(pump ? kkCheck_ : koCheck_).armed())
        onCoolingCheck(pump);
}

void Controller::superviseCooling() {
    if (coolingFault_[0] || coolingFault_[1])
        raiseAlarm(makeAlarm(kAlarmCoolingFault));
    else
        clearAlarm(kAlarmCoolingFault);
    if (isAlarmActive(kAlarmTemperatureSensorError) && isAlarmActive(kAlarmCoolingFault)) {
        if (raiseAlarm(makeAlarm(kAlarmEmergencyTemperatureMode)) && automatic())
            enterEmergencyTemperatureMode();
        return;
    }
    if (clearAlarm(kAlarmEmergencyTemperatureMode) && automatic())
        leaveEmergencyTemperatureMode();
}

// Neither the temperature nor the cooling can be trusted: one unit at 50 Hz, the stroke rate held
// at nsAlarmTempMode by the top dwell.
void Controller::enterEmergencyTemperatureMode() {
    emergencySnapshot_ = {gConfig->selectedDrive1.current, gConfig->selectedDrive2.current,
                          gConfig->selectedValve1.current, gConfig->selectedValve2.current,
                          gConfig->freqDrive1.value,       gConfig->freqDrive2.value};
    if (gConfig->selectedDrive1.current == 1 && gConfig->selectedDrive2.current == 1) {
        if (gConfig->pu1Mode.current != kUnitOn)
            gConfig->selectedDrive1.set(0);
        else if (gConfig->pu2Mode.current != kUnitOn)
            gConfig->selectedDrive2.set(0);
    }
    gConfig->freqDrive1.set(kEmergencyFrequency);
    gConfig->freqDrive2.set(kEmergencyFrequency);
    tuningError_ = 0;
    emergencyTopDwellS_ = std::max(gConfig->delayTDP.value, 0.0f);
}

void Controller::leaveEmergencyTemperatureMode() {
    gConfig->selectedDrive1.set(emergencySnapshot_.drive1);
    gConfig->selectedDrive2.set(emergencySnapshot_.drive2);
    gConfig->selectedValve1.set(emergencySnapshot_.valve1);
    gConfig->selectedValve2.set(emergencySnapshot_.valve2);
    gConfig->freqDrive1.set(emergencySnapshot_.freq1);
    gConfig->freqDrive2.set(emergencySnapshot_.freq2);
}

// In the emergency mode the top dwell is the one the tuning stretches at the bottom of every cycle
// (tuneSwings2), so that a cycle takes the period of nsAlarmTempMode strokes a minute.
float Controller::topDwellSeconds() const {
    return isAlarmActive(kAlarmEmergencyTemperatureMode) ? emergencyTopDwellS_ : gConfig->delayTDP.value;
}

// The sensor failed: the fan runs, since the oil may be hot without anyone knowing.
void Controller::setTemperatureSensorState(bool good) {
    temperatureSensorGood_ = good;
    if (good) {
        clearAlarm(kAlarmTemperatureSensorError);
    } else if (raiseAlarm(makeAlarm(kAlarmTemperatureSensorError))) {
        switchFan(true);
    }
    superviseCooling();
}
