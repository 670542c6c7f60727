#include "drive/cooling_supervision.h"

#include "config/config.h"
#include "core/registry.h"
#include "drive/alarm_catalogue.h"
#include "drive/controller_types.h"
#include "drive/unit_settings.h"

namespace {

constexpr float kEmergencyFrequency = 50.0f;

} // namespace

void CoolingSupervision::setSensorState(bool good) {
    sensorGood_ = good;
    if (good) {
        actions_.clearAlarm(kAlarmTemperatureSensorError);
    } else if (actions_.raiseAlarm(makeAlarm(kAlarmTemperatureSensorError))) {
        cooling_.switchFan(true);
    }
    update();
}

void CoolingSupervision::update() {
    if (cooling_.fault(true) || cooling_.fault(false))
        actions_.raiseAlarm(makeAlarm(kAlarmCoolingFault));
    else
        actions_.clearAlarm(kAlarmCoolingFault);
    if (actions_.isAlarmActive(kAlarmTemperatureSensorError) && actions_.isAlarmActive(kAlarmCoolingFault)) {
        if (actions_.raiseAlarm(makeAlarm(kAlarmEmergencyTemperatureMode)) && actions_.automatic())
            enterEmergencyMode();
        return;
    }
    if (actions_.clearAlarm(kAlarmEmergencyTemperatureMode) && actions_.automatic())
        leaveEmergencyMode();
}

// Neither the temperature nor the cooling can be trusted: one unit at 50 Hz, the stroke rate held
// at nsAlarmTempMode by the top dwell.
void CoolingSupervision::enterEmergencyMode() {
    Config& c = *gConfig;
    saved_ = {c.selectedDrive1.current, c.selectedDrive2.current, c.selectedValve1.current,
              c.selectedValve2.current, c.freqDrive1.value,       c.freqDrive2.value};
    if (c.selectedDrive1.current == 1 && c.selectedDrive2.current == 1) {
        if (c.pu1Mode.current != kUnitOn)
            c.selectedDrive1.set(0);
        else if (c.pu2Mode.current != kUnitOn)
            c.selectedDrive2.set(0);
    }
    c.freqDrive1.set(kEmergencyFrequency);
    c.freqDrive2.set(kEmergencyFrequency);
    tuning_.enterEmergencyMode();
}

void CoolingSupervision::leaveEmergencyMode() {
    Config& c = *gConfig;
    c.selectedDrive1.set(saved_.drive1);
    c.selectedDrive2.set(saved_.drive2);
    c.selectedValve1.set(saved_.valve1);
    c.selectedValve2.set(saved_.valve2);
    c.freqDrive1.set(saved_.freq1);
    c.freqDrive2.set(saved_.freq2);
}
