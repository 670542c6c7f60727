#pragma once
// The settings that are alarms of their own: the remote stop (stopDrive, alarm 0) and the monitoring
// switched off for a sensor that cannot tell an open circuit (alarms 31, 32 and 33).

#include "drive/supervision_actions.h"

class SettingAlarms {
public:
    explicit SettingAlarms(SupervisionActions& actions) : actions_(actions) {}

    // At start-up: nothing keeps alarms across a restart.
    void evaluate();
    // stopDrive changed: "остановить" (0) is the remote stop, any other value the remote start.
    void stopDriveChanged();
    // topSensorType, botSensorType or magSensorConnection changed.
    void sensorConnectionChanged();

private:
    SupervisionActions& actions_;
};
