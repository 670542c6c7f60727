// What НУ1's top (ДВ) and bottom (ДН) position sensors do to the cycle; their inputs are
// PositionInputs'.

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/controller.h"

namespace {

const char kUnit[] = "controller";

} // namespace

void Controller::onTopSensor(int state, int previous) {
    if (state == kSensorActive)
        LOG_MSG(LOG_ERR, kUnit, "верхний датчик положения активен");
    else if (state == kSensorInactive)
        LOG_MSG(LOG_ERR, kUnit, "верхний датчик положения неактивен");
    bool stoppingCleared = false;
    if (previous == kSensorShort)
        stoppingCleared |= clearAlarm(kAlarmTopSensorShortStop);
    if (previous == kSensorOpen)
        stoppingCleared |= clearAlarm(kAlarmTopSensorBreakStop);
    if (previous == kSensorActive) {
        topSensorTimeout_.cancel();
        stoppingCleared |= clearAlarm(kAlarmTopSensorTimeout);
    }
    switch (state) {
    case kSensorActive:
        // The rod reached the top after all: a wedging attempt succeeded.
        if (clearAlarm(kAlarmUpStrokeTooLong)) {
            stateTimer_.cancel();
            enterState(automatic() ? kFirstUp : kStopped);
        }
        if (unit1_->running() || unit2_->running() || unit1_->turning() || unit2_->turning() || valveOn(1) ||
            valveOn(2))
            armTopSensorTimeout();
        if (state_ == kCoolingRun)
            halt(true);
        else if ((state_ == kFirstUp || state_ == kUp) && automatic())
            onTopReversal(true);
        break;
    case kSensorOpen:
        if (!isAlarmActive(kAlarmTopSensorBreakCheckOff) && raiseAlarm(makeAlarm(kAlarmTopSensorBreakStop)) &&
            automatic())
            halt(true);
        break;
    case kSensorShort:
        if (raiseAlarm(makeAlarm(kAlarmTopSensorShortStop)) && automatic())
            halt(true);
        break;
    case kSensorInactive:
        break;
    default:
        LOG_MSG(LOG_ERR, kUnit, "верхний датчик положения перешел в неожиданное состояние %d", state);
        return;
    }
    checkSimultaneousActivation();
    restartAfterClearing(stoppingCleared);
}

void Controller::onBottomSensor(int state, int previous) {
    if (state == kSensorActive)
        LOG_MSG(LOG_ERR, kUnit, "нижний датчик положения активен");
    else if (state == kSensorInactive)
        LOG_MSG(LOG_ERR, kUnit, "нижний датчик положения неактивен");
    bool brokenSensorTimed = gConfig->downTimeOnBrokenSensor.value != 0;
    bool stoppingCleared = false;
    // The alarms that had the down stroke timed instead of trusting the sensor.
    bool distrustCleared = false;
    if (previous == kSensorOpen) {
        stoppingCleared |= clearAlarm(kAlarmBottomSensorBreakStop);
        distrustCleared |= clearAlarm(kAlarmBottomSensorBreakIgnored);
    }
    if (previous == kSensorShort) {
        stoppingCleared |= clearAlarm(kAlarmBottomSensorShortStop);
        distrustCleared |= clearAlarm(kAlarmBottomSensorShortIgnored);
    }
    if (previous == kSensorActive) {
        botSensorTimeout_.cancel();
        stoppingCleared |= clearAlarm(kAlarmBottomSensorTimeout);
        stoppingCleared |= clearAlarm(kAlarmSimultaneousSensors);
        distrustCleared |= clearAlarm(kAlarmBottomSensorTimeoutIgnored);
        distrustCleared |= clearAlarm(kAlarmSimultaneousSensorsIgnored);
    }
    bool goingDown = inCycleDownStroke() || state_ == kOverheatDown || state_ == kOverloadDown;
    if (distrustCleared && goingDown)
        downLimit_.reevaluate(lastStroke_.upMs, lastStroke_.downMs);
    switch (state) {
    case kSensorActive:
        if (unit1_->running() || unit2_->running() || unit1_->turning() || unit2_->turning())
            armBotSensorTimeout();
        if (!automatic()) {
            if (manual())
                closeBothValves();
            break;
        }
        if (inCycleDownStroke())
            onBottomReversal();
        else if (state_ == kOverheatDown)
            overheat_.atBottom();
        else if (state_ == kOverloadDown)
            rodOverload_.atBottom();
        break;
    case kSensorOpen:
        if (isAlarmActive(kAlarmBottomSensorBreakCheckOff))
            break;
        if (brokenSensorTimed)
            raiseAlarm(makeAlarm(kAlarmBottomSensorBreakIgnored));
        else if (raiseAlarm(makeAlarm(kAlarmBottomSensorBreakStop)) && automatic())
            halt(true);
        break;
    case kSensorShort:
        if (brokenSensorTimed)
            raiseAlarm(makeAlarm(kAlarmBottomSensorShortIgnored));
        else if (raiseAlarm(makeAlarm(kAlarmBottomSensorShortStop)) && automatic())
            halt(true);
        break;
    case kSensorInactive:
        break;
    default:
        LOG_MSG(LOG_ERR, kUnit, "нижний датчик положения перешел в неожиданное состояние %d", state);
        return;
    }
    checkSimultaneousActivation();
    restartAfterClearing(stoppingCleared);
}

// Both sensors of НУ1 active at once cannot be true of the rod. Without a time to go down on a broken
// sensor the drive stops (alarm 8); with one, the cycle goes on, timing its down strokes (alarm 24).
// Both alarms go when the bottom sensor leaves the active state.
void Controller::checkSimultaneousActivation() {
    if (unit1_->topSensor() != kSensorActive || unit1_->bottomSensor() != kSensorActive)
        return;
    if (gConfig->downTimeOnBrokenSensor.value != 0) {
        raiseAlarm(makeAlarm(kAlarmSimultaneousSensorsIgnored));
        return;
    }
    if (raiseAlarm(makeAlarm(kAlarmSimultaneousSensors)) && automatic())
        halt(true);
}
