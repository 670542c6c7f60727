// The oil level sensor УМ (inputs 9 and 10): open circuit (alarm 2) and short circuit (alarm 14) stop
// the drive at once; a low level (alarm 1) stops it once it has lasted oilSensorDelay seconds.

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/controller.h"
#include "drive/discrete_inputs.h"

#include <utility>

namespace {

const char kUnit[] = "controller";

} // namespace

void Controller::onOilLevelInputs() {
    bool first = inputOn(kInputOilLevel);
    bool second = inputOn(kInputOilLevelHigh);
    if (gConfig->oilSensorInvertion.current != 0)
        std::swap(first, second);
    int state = (first ? 1 : 0) + (second ? 2 : 0);
    int previous = oilLevelState_;
    if (state == previous)
        return;
    oilLevelState_ = state;
    oilSensorTimer_.cancel();
    bool stoppingCleared = false;
    if (previous == kSensorOpen)
        stoppingCleared |= clearAlarm(kAlarmOilLevelSensorBreak);
    if (previous == kSensorOpen || previous == kSensorShort)
        stoppingCleared |= clearAlarm(kAlarmOilLevelSensorFault);
    bool monitored = !isAlarmActive(kAlarmOilLevelCheckOff);
    switch (state) {
    case kSensorOpen:
        if (monitored && raiseAlarm(makeAlarm(kAlarmOilLevelSensorBreak)) && automatic())
            halt(true);
        break;
    case kSensorShort:
        LOG_MSG(LOG_ERR, kUnit, "КЗ датчика уровня масла");
        if (monitored && raiseAlarm(makeAlarm(kAlarmOilLevelSensorFault)) && automatic())
            halt(true);
        break;
    default:
        LOG_MSG(LOG_ERR, kUnit, "датчик уровня масла %sактивен", state == kSensorActive ? "" : "не");
        oilSensorTimer_.start("oilSensorTimer",
                              static_cast<uint32_t>(gConfig->oilSensorDelay.value * 1000.0f),
                              [this] { onOilSensorTimer(); });
        break;
    }
    restartAfterClearing(stoppingCleared);
}

void Controller::onOilSensorTimer() {
    switch (oilLevelState_) {
    case kSensorActive:
        if (raiseAlarm(makeAlarm(kAlarmLowOil)) && automatic())
            halt(true);
        return;
    case kSensorInactive:
        clearAndRestart(kAlarmLowOil);
        return;
    default:
        LOG_MSG(LOG_ERR, kUnit, "oilSensorChanged2(): unexpected sensor state: %d", oilLevelState_);
        return;
    }
}
