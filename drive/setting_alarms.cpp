#include "drive/setting_alarms.h"

#include "config/config.h"
#include "core/registry.h"

void SettingAlarms::evaluate() {
    if (gConfig->stopDrive.current == 0)
        actions_.raiseAlarm(makeAlarm(kAlarmRemoteStartWait));
    if (gConfig->oilSensorConnection.current == 0)
        actions_.raiseAlarm(makeAlarm(kAlarmOilLevelCheckOff));
    sensorConnectionChanged();
}

void SettingAlarms::stopDriveChanged() {
    if (gConfig->stopDrive.current == 0) {
        actions_.raiseAlarm(makeAlarm(kAlarmRemoteStartWait));
        actions_.halt(true);
        return;
    }
    actions_.clearAndRestart(kAlarmRemoteStartWait);
}

// A three-wire magnetic sensor cannot tell an open circuit either (alarms 32 and 33).
void SettingAlarms::sensorConnectionChanged() {
    bool threeWire = gConfig->magSensorConnection.current == 0;
    if (gConfig->topSensorType.current == 1 && threeWire)
        actions_.raiseAlarm(makeAlarm(kAlarmTopSensorBreakCheckOff));
    else
        actions_.clearAlarm(kAlarmTopSensorBreakCheckOff);
    if (gConfig->botSensorType.current == 1 && threeWire)
        actions_.raiseAlarm(makeAlarm(kAlarmBottomSensorBreakCheckOff));
    else
        actions_.clearAlarm(kAlarmBottomSensorBreakCheckOff);
}
