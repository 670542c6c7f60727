// Automatic reclose (АПВ) after a drive's over-current: the unit is taken out and, after araDelay
// minutes, reset and brought back, at most numARA times within araReset completed cycles.
//
// Both units' reports are taken in one pass, НУ1 first. A unit whose partner can take over recloses
// alone, at the next bottom reversal; otherwise the drive stops and the tripped units recloses together
// (alarm 16). A drive is reset before it is marked healthy again, so the mark does not read the
// over-current the drive reported before its reset.

#include "config/config.h"
#include "core/journal.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/controller.h"
#include "drive/unit_settings.h"

#include <string>

namespace {

const char* const kUnitRecloseTimerNames[] = {"ARA timer pu1", "ARA timer pu2"};

uint32_t araDelayMs() {
    return static_cast<uint32_t>(gConfig->araDelay.value * 60000.0f);
}

} // namespace

void Controller::checkOverCurrent() {
    if (isAlarmActive(kAlarmRodOverloadRestart) || isAlarmActive(kAlarmRodOverload))
        return;
    bool both = unit1_->overCurrent() && unit2_->overCurrent();
    bool group = false;
    for (int n = 1; n <= 2; ++n) {
        if (!unit(n).overCurrent() || unit(n).faulty())
            continue;
        raiseAlarm(makeAlarm(kAlarmOverCurrent, alarmText(kAlarmOverCurrent, n)));
        if (!automatic())
            continue;
        unitCycles_[index(n)] = 0;
        restartedAfterReset_[index(n)] = false;
        overCurrentSetPoint_[index(n)] = unit(n).setPoint();
        overCurrentTripped_[index(n)] = true;
        unit(n).markFaulty(true);
        if (recloses_[index(n)] >= static_cast<int>(gConfig->numARA.value)) {
            raiseAlarm(makeAlarm(kAlarmOverCurrentStop,
                                 alarmText(kAlarmOverCurrentStop, std::to_string(n).c_str())));
            halt(true);
            return;
        }
        if (both || !otherUnitCanTakeOver(n)) {
            group = true;
            continue;
        }
        unitRecloseTimer_[index(n)].start(kUnitRecloseTimerNames[index(n)], araDelayMs(),
                                          [this, n] { onUnitRecloseTimer(n); });
    }
    if (group)
        beginGroupReclose();
}

bool Controller::otherUnitCanTakeOver(int n) const {
    int other = otherOf(n);
    return unitModeOf(other).current != kUnitOff && gConfig->canSepStart.current == 0 &&
           !unit(other).faulty();
}

void Controller::onUnitRecloseTimer(int n) {
    journalPrintf(LOG_INFO, "АПВ НУ%d", n);
    if (automatic())
        reclosePending_[index(n)] = true;
    else
        clearAlarm(kAlarmOverCurrent);
}

void Controller::beginGroupReclose() {
    halt(true);
    bool first = overCurrentTripped_[0];
    bool second = overCurrentTripped_[1];
    std::string units = first && second ? "1 и НУ2" : first ? "1" : "2";
    std::string numbers;
    for (int n = 1; n <= 2; ++n) {
        if (!overCurrentTripped_[index(n)])
            continue;
        numbers += (numbers.empty() ? "" : ", ") + std::to_string(recloses_[index(n)] + 1);
    }
    raiseAlarm(makeAlarm(kAlarmOverCurrentReclose,
                         alarmText(kAlarmOverCurrentReclose, units.c_str(), numbers.c_str())));
    if (!groupRecloseTimer_.armed())
        groupRecloseTimer_.start("ARA timer 20.2", araDelayMs(), [this] { onGroupRecloseTimer(); });
}

void Controller::onGroupRecloseTimer() {
    if (automatic()) {
        for (int n = 1; n <= 2; ++n) {
            if (!overCurrentTripped_[index(n)])
                continue;
            journalPrintf(LOG_INFO, "АПВ НУ%d", n);
            resetLines_.write(n, true);
            ++recloses_[index(n)];
            unit(n).markFaulty(false);
        }
        enterState(kResetBoth);
        armStateTimer("resetVfdAlarms-20.2", kResetPulseMs);
    }
    clearAlarm(kAlarmOverCurrentReclose);
}

bool Controller::serveReclosePending() {
    for (int n = 1; n <= 2; ++n) {
        if (!reclosePending_[index(n)])
            continue;
        reclosePending_[index(n)] = false;
        beginUnitReset(n);
        return true;
    }
    return false;
}
