#pragma once
// The oil thermometer's verdict and the cooling's faults: the temperature sensor fault (alarm 21), the
// cooling system fault (alarm 38) and, with both, the emergency temperature mode (alarm 36).

#include "drive/oil_cooling.h"
#include "drive/stroke_rate_tuning.h"
#include "drive/supervision_actions.h"

class CoolingSupervision {
public:
    CoolingSupervision(SupervisionActions& actions, OilCooling& cooling, StrokeRateTuning& tuning)
        : actions_(actions), cooling_(cooling), tuning_(tuning) {}

    // The thermometer's verdict on its sensor; a failed sensor starts the fan.
    void setSensorState(bool good);
    bool sensorGood() const { return sensorGood_; }
    // After every check of the pump or the fan, and every verdict on the sensor.
    void update();

private:
    void enterEmergencyMode();
    void leaveEmergencyMode();

    SupervisionActions& actions_;
    OilCooling& cooling_;
    StrokeRateTuning& tuning_;
    bool sensorGood_ = false;
    // The selections and frequencies the emergency mode replaced, restored when it ends.
    struct Selections {
        int drive1 = 0;
        int drive2 = 0;
        int valve1 = 0;
        int valve2 = 0;
        float freq1 = 0;
        float freq2 = 0;
    } saved_;
};
