#include "drive/rod_overload.h"

#include "config/config.h"
#include "core/journal.h"
#include "core/log.h"
#include "core/registry.h"

#include <algorithm>

void RodOverload::loadSample(float load) {
    if (!hooks_.loadValid())
        return;
    float maximum = gConfig->gMax.value;
    if (maximum >= 0 && load > maximum && hooks_.driveRuns()) {
        cycles_ = 0;
        if (restarts_ >= static_cast<int>(gConfig->numARA.value)) {
            if (actions_.raiseAlarm(makeAlarm(kAlarmRodOverload)) && actions_.automatic())
                actions_.halt(true);
            return;
        }
        actions_.raiseAlarm(
            makeAlarm(kAlarmRodOverloadRestart, alarmText(kAlarmRodOverloadRestart, restarts_ + 1)));
        if (!actions_.automatic())
            return;
        actions_.halt(true);
        ++restarts_;
        hooks_.enter(Phase::SensorReset);
        hooks_.resetSensors();
        return;
    }
    float minimum = gConfig->gMin.value;
    if (minimum >= 0 && load < minimum && hooks_.cycleDownStroke())
        lowLoad();
}

void RodOverload::lowLoad() {
    lowLoadThisStroke_ = true;
    actions_.raiseAlarm(makeAlarm(kAlarmLowRodLoad));
}

void RodOverload::sensorsReset() {
    if (!hooks_.in(Phase::SensorReset) || !actions_.automatic())
        return;
    hooks_.enter(Phase::Down);
    uint32_t limitMs = hooks_.downStrokeLimitMs();
    hooks_.openValves();
    hooks_.armStateTimer("overloadDown", limitMs);
}

void RodOverload::atBottom() {
    hooks_.descentEnded();
    hooks_.enter(Phase::Wait);
    hooks_.armStateTimer("ARA", static_cast<uint32_t>(gConfig->araDelay.value * 60000.0f));
}

void RodOverload::restartDue() {
    journalPrintf(LOG_INFO, "АПВ");
    hooks_.restart();
}

// Each count is forgotten (and journalled) once, when it is not already zero.
void RodOverload::cycleCompleted(int limit) {
    cycles_ = std::min(cycles_ + 1, limit + 1);
    if (cycles_ > limit && restarts_ != 0) {
        journalPrintf(LOG_INFO, "Сброс счетчика АПВ");
        restarts_ = 0;
    }
}
