// Rod load supervision and the rod overload (states 9-11): a load above gMax stops the drive, the
// sensors are reset, the rod goes down, and after araDelay minutes the drive restarts, at most numARA
// times within araReset completed cycles. A load below gMin on the way down is a warning.

#include "config/config.h"
#include "core/journal.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/controller.h"
#include "drive/unit_selection.h"

#include <algorithm>

void Controller::onLoadSample(float load) {
    strokeMinLoad_ = std::min(strokeMinLoad_, load);
    strokeMaxLoad_ = std::max(strokeMaxLoad_, load);
    if (automatic())
        recorder_.sample(load);
    superviseRodLoad(load);
}

void Controller::superviseRodLoad(float load) {
    if (!pressureSensorOk(1))
        return;
    float maximum = gConfig->gMax.value;
    bool driveRuns = unit1_->running() || unit2_->running();
    if (maximum >= 0 && load > maximum && driveRuns) {
        totalCycles_ = 0;
        if (overloadRestarts_ >= static_cast<int>(gConfig->numARA.value)) {
            if (raiseAlarm(makeAlarm(kAlarmRodOverload)) && automatic())
                halt(true);
            return;
        }
        raiseAlarm(
            makeAlarm(kAlarmRodOverloadRestart, alarmText(kAlarmRodOverloadRestart, overloadRestarts_ + 1)));
        if (!automatic())
            return;
        halt(true);
        ++overloadRestarts_;
        enterState(kOverload);
        sensorReset_.run();
        return;
    }
    float minimum = gConfig->gMin.value;
    if (minimum >= 0 && load < minimum && inCycleDownStroke())
        raiseLowLoad();
}

// Alarm 25, held for the rest of this down stroke.
void Controller::raiseLowLoad() {
    lowLoadThisStroke_ = true;
    raiseAlarm(makeAlarm(kAlarmLowRodLoad));
}

// The sensor reset is over: the rod goes down.
void Controller::continueOverloadDescent() {
    if (state_ != kOverload || !automatic())
        return;
    enterState(kOverloadDown);
    uint32_t limitMs = downStrokeLimitMs();
    openValves();
    if (anyValveSelected())
        armMaxDownTimer();
    armStateTimer("overloadDown", limitMs);
}

void Controller::onOverloadBottom() {
    clearPerStrokeAlarms();
    closeBothValves();
    maxDownTimer_.cancel();
    // The rod is meant to rest on the bottom sensor for the whole wait; a turning word not yet polled
    // since the halt must not turn that rest into a bottom-sensor fault.
    botSensorTimeout_.cancel();
    enterState(kRecloseWait);
    armStateTimer("ARA", static_cast<uint32_t>(gConfig->araDelay.value * 60000.0f));
}

void Controller::onRecloseTimer() {
    journalPrintf(LOG_INFO, "АПВ");
    selectUnitsAndValves(unit1_->faulty(), unit2_->faulty());
    enterState(kFirstUp);
    beginUpStroke();
}
