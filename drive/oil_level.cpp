// The oil level sensor: each change of its state cancels the low-level delay and clears the fault it
// leaves; an active or inactive level is judged once oilSensorDelay has passed.

#include "drive/oil_level.h"

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/controller_types.h"

#include <utility>

namespace {

const char kUnit[] = "controller";

} // namespace

void OilLevel::inputsChanged(bool first, bool second) {
    if (gConfig->oilSensorInvertion.current != 0)
        std::swap(first, second);
    int state = (first ? 1 : 0) + (second ? 2 : 0);
    int previous = level_;
    if (state == previous)
        return;
    level_ = state;
    delay_.cancel();
    bool stoppingCleared = false;
    if (previous == kSensorOpen)
        stoppingCleared |= actions_.clearAlarm(kAlarmOilLevelSensorBreak);
    if (previous == kSensorOpen || previous == kSensorShort)
        stoppingCleared |= actions_.clearAlarm(kAlarmOilLevelSensorFault);
    bool monitored = !actions_.isAlarmActive(kAlarmOilLevelCheckOff);
    switch (state) {
    case kSensorOpen:
        if (monitored && actions_.raiseAlarm(makeAlarm(kAlarmOilLevelSensorBreak)) && actions_.automatic())
            actions_.halt(true);
        break;
    case kSensorShort:
        LOG_MSG(LOG_ERR, kUnit, "КЗ датчика уровня масла");
        if (monitored && actions_.raiseAlarm(makeAlarm(kAlarmOilLevelSensorFault)) && actions_.automatic())
            actions_.halt(true);
        break;
    default:
        LOG_MSG(LOG_ERR, kUnit, "датчик уровня масла %sактивен", state == kSensorActive ? "" : "не");
        delay_.start("oilSensorTimer", static_cast<uint32_t>(gConfig->oilSensorDelay.value * 1000.0f),
                     [this] { onDelay(); });
        break;
    }
    actions_.restartAfterClearing(stoppingCleared);
}

void OilLevel::onDelay() {
    switch (level_) {
    case kSensorActive:
        if (actions_.raiseAlarm(makeAlarm(kAlarmLowOil)) && actions_.automatic())
            actions_.halt(true);
        return;
    case kSensorInactive:
        actions_.clearAndRestart(kAlarmLowOil);
        return;
    default:
        LOG_MSG(LOG_ERR, kUnit, "oilSensorChanged2(): unexpected sensor state: %d", level_);
        return;
    }
}

void OilLevel::connectionChanged() {
    if (gConfig->oilSensorConnection.current == 0) {
        actions_.raiseAlarm(makeAlarm(kAlarmOilLevelCheckOff));
        return;
    }
    actions_.clearAlarm(kAlarmOilLevelCheckOff);
    if (level_ == kSensorOpen && actions_.raiseAlarm(makeAlarm(kAlarmOilLevelSensorBreak)) &&
        actions_.automatic())
        actions_.halt(true);
}
