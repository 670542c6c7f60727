#pragma once
// What the drives report about themselves: motor overheating (alarms 23 and 15), a drive too cold to
// run (alarms 37 and 11) and the text of alarm 39 from the alarm and warning words.

#include "drive/oil_cooling.h"
#include "drive/pump_unit.h"
#include "drive/supervision_actions.h"

#include <array>
#include <functional>

class DriveHealth {
public:
    struct Hooks {
        std::function<float()> oilTemperature;
        std::function<void()> selectUnits; // the selection of units and valves runs again
    };

    DriveHealth(SupervisionActions& actions, PumpUnit& unit1, PumpUnit& unit2, OilCooling& cooling,
                Hooks hooks)
        : actions_(actions), units_{&unit1, &unit2}, cooling_(cooling), hooks_(std::move(hooks)) {}

    void checkMotorOverheat();
    void checkDriveTemperature();
    void rebuildAlarmText();

private:
    PumpUnit& unit(int n) { return *units_[n == 2 ? 1 : 0]; }
    void takeOverFromColdUnit(int coldUnit);
    void releaseWarmUnits();

    SupervisionActions& actions_;
    std::array<PumpUnit*, 2> units_;
    OilCooling& cooling_;
    Hooks hooks_;
    // Units marked faulty because their drive was too cold; only these are released when it warms.
    std::array<bool, 2> markedFaultyCold_{};
};
