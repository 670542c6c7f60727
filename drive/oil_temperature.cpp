// The oil temperature: the cooling (drive/oil_cooling.h) follows it; the cooling system fault
// (alarm 38), the temperature sensor fault (alarm 21) and, with both, the emergency temperature mode
// (alarm 36).

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/controller.h"
#include "drive/unit_settings.h"

#include <algorithm>

namespace {

const char kUnit[] = "controller";

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
    cooling_.applyTemperature(celsius);
    superviseOilOverheat(celsius, previous);
}

void Controller::superviseCooling() {
    if (cooling_.fault(true) || cooling_.fault(false))
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
    tuning_.enterEmergencyMode();
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
// (StrokeRateTuning), so that a cycle takes the period of nsAlarmTempMode strokes a minute.
float Controller::topDwellSeconds() const {
    return isAlarmActive(kAlarmEmergencyTemperatureMode) ? tuning_.emergencyTopDwell()
                                                         : gConfig->delayTDP.value;
}

// The sensor failed: the fan runs, since the oil may be hot without anyone knowing.
void Controller::setTemperatureSensorState(bool good) {
    temperatureSensorGood_ = good;
    if (good) {
        clearAlarm(kAlarmTemperatureSensorError);
    } else if (raiseAlarm(makeAlarm(kAlarmTemperatureSensorError))) {
        cooling_.switchFan(true);
    }
    superviseCooling();
}
