// The oil temperature: the cooling (drive/oil_cooling.h) and the overheating supervision follow it;
// the sensor's and the cooling's faults are CoolingSupervision's.

#include "config/config.h"
#include "core/registry.h"
#include "drive/controller.h"

void Controller::onOilTemperature(float celsius) {
    float previous = oilTemperature_;
    oilTemperature_ = celsius;
    if (unit1_->modeSwitch() == kModeStop)
        return;
    cooling_.applyTemperature(celsius);
    overheat_.temperatureChanged(celsius, previous);
}

// In the emergency mode the top dwell is the one the tuning stretches at the bottom of every cycle
// (StrokeRateTuning), so that a cycle takes the period of nsAlarmTempMode strokes a minute.
float Controller::topDwellSeconds() const {
    return isAlarmActive(kAlarmEmergencyTemperatureMode) ? tuning_.emergencyTopDwell()
                                                         : gConfig->delayTDP.value;
}
