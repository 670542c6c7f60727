// Manual mode: the push buttons of each unit run its motor (up) or open its valve (down) while held.
// The limits (top sensor for up, bottom sensor for down, units and valves switched off) hold unless
// manualNoLimits lifts them for one button event. НУ1's sensors tell where the rod is for both units.

#include "config/config.h"
#include "core/registry.h"
#include "drive/controller.h"
#include "drive/unit_settings.h"

void Controller::onManualButton(int n, bool up, bool pressed) {
    keypad_->wake();
    if (!manual())
        return;
    bool limits = gConfig->manualNoLimits.current == 1;
    PumpUnit& drive = unit(n);
    if (up && pressed) {
        bool refused = limits && (unit1_->topSensor() == kSensorActive || unitModeOf(n).current == kUnitOff);
        if (!refused && !drive.faulty())
            drive.start(manualFreqOf(n).value);
    } else if (up) {
        drive.stop(true);
        gConfig->manualReverseStart.set(1);
    } else if (pressed) {
        bool refused =
            limits && (unit1_->bottomSensor() == kSensorActive || valveModeOf(n).current == kUnitOff);
        if (!refused) {
            if (unit1_->topSensor() == kSensorActive)
                armTopSensorTimeout();
            setValve(n, true);
            armMaxDownTimer();
        }
    } else {
        setValve(n, false);
        maxDownTimer_.cancel();
    }
    gConfig->manualNoLimits.set(1);
}

void Controller::onPanelEnable(bool level) {
    blanking_.setBlank(!level);
    keypad_->restartInactivity();
}
