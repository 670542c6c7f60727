// The top (ДВ) and bottom (ДН) position sensors: the discrete pairs of both units with the 200 ms
// confirmation of the open and short patterns, their lamps, and what НУ1's sensors do to the cycle.

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/controller.h"
#include "drive/discrete_inputs.h"

namespace {

const char kUnit[] = "controller";

// Input pairs (first + 2 x second) of the top and bottom sensors of НУ1 and НУ2.
struct SensorPair {
    int first;
    int second;
};
constexpr SensorPair kTopPairs[] = {{kInputTopSensor1, kInputTopSensor1High},
                                    {kInputTopSensor2, kInputTopSensor2High}};
constexpr SensorPair kBottomPairs[] = {{kInputBottomSensor1, kInputBottomSensor1High},
                                       {kInputBottomSensor2, kInputBottomSensor2High}};

// Lamps: top of НУ1 / НУ2, bottom of НУ1 / НУ2.
constexpr int kTopLamps[] = {34, 36};
constexpr int kBottomLamps[] = {38, 31};

} // namespace

void Controller::onPositionPair(int n, bool top) {
    const SensorPair& pair = (top ? kTopPairs : kBottomPairs)[index(n)];
    int state = (inputOn(pair.first) ? 1 : 0) + (inputOn(pair.second) ? 2 : 0);
    // An open or short pattern counts once it has lasted 200 ms.
    (top ? topFilters_ : bottomFilters_)[index(n)].onState(state);
}

void Controller::acceptPositionPair(int n, bool top, int state) {
    PumpUnit& drive = unit(n);
    PumpUnit::SensorSlot slot = top ? PumpUnit::kTopDiscrete : PumpUnit::kBottomDiscrete;
    int previous = drive.sensor(slot);
    if (previous == state)
        return;
    drive.setSensor(slot, state);
    const ConfigSelect& type = top ? gConfig->topSensorType : gConfig->botSensorType;
    if (type.current != 1)
        return;
    showSensorLamp(n, top, state);
    if (n != 1)
        return;
    if (top)
        onTopSensor(state, previous);
    else
        onBottomSensor(state, previous);
}

// On = active, off = inactive, slow blink = open circuit, fast blink = short circuit.
void Controller::showSensorLamp(int n, bool top, int state) {
    int lamp = (top ? kTopLamps : kBottomLamps)[index(n)];
    setOutput(lamp, state == kSensorActive);
    setBlink(lamp, state == kSensorShort, state == kSensorOpen);
}

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
        downLimit_.reevaluate(upStrokeMs_, downStrokeMs_);
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
            onOverheatBottom();
        else if (state_ == kOverloadDown)
            onOverloadBottom();
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
