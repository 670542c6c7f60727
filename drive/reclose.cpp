// Automatic reclose (АПВ) after a drive's over-current.
//
// Both units' reports are taken in one pass, НУ1 first. A drive is reset before it is marked healthy
// again, so the mark does not read the over-current the drive reported before its reset.

#include "drive/reclose.h"

#include "config/config.h"
#include "core/journal.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/alarm_catalogue.h"
#include "drive/controller_types.h"
#include "drive/unit_settings.h"

#include <algorithm>

namespace {

const char* const kUnitTimerNames[] = {"ARA timer pu1", "ARA timer pu2"};

uint32_t araDelayMs() {
    return static_cast<uint32_t>(gConfig->araDelay.value * 60000.0f);
}

} // namespace

void Reclose::checkOverCurrent() {
    if (hooks_.alarmActive(kAlarmRodOverloadRestart) || hooks_.alarmActive(kAlarmRodOverload))
        return;
    bool both = hooks_.overCurrent(1) && hooks_.overCurrent(2);
    bool group = false;
    for (int n = 1; n <= 2; ++n) {
        if (!hooks_.overCurrent(n) || hooks_.faulty(n))
            continue;
        hooks_.raise(kAlarmOverCurrent, alarmText(kAlarmOverCurrent, n));
        if (!hooks_.automatic())
            continue;
        cycles_[index(n)] = 0;
        restarted_[index(n)] = false;
        setPoints_[index(n)] = hooks_.setPoint(n);
        tripped_[index(n)] = true;
        hooks_.markFaulty(n, true);
        if (counts_[index(n)] >= static_cast<int>(gConfig->numARA.value)) {
            hooks_.raise(kAlarmOverCurrentStop, alarmText(kAlarmOverCurrentStop, std::to_string(n).c_str()));
            hooks_.stop();
            return;
        }
        if (both || !otherUnitCanTakeOver(n)) {
            group = true;
            continue;
        }
        unitTimers_[index(n)].start(kUnitTimerNames[index(n)], araDelayMs(), [this, n] { onUnitTimer(n); });
    }
    if (group)
        beginGroupReclose();
}

bool Reclose::otherUnitCanTakeOver(int n) const {
    int other = otherOf(n);
    return unitModeOf(other).current != kUnitOff && gConfig->canSepStart.current == 0 &&
           !hooks_.faulty(other);
}

void Reclose::onUnitTimer(int n) {
    journalPrintf(LOG_INFO, "АПВ НУ%d", n);
    if (hooks_.automatic())
        pending_[index(n)] = true;
    else
        hooks_.clear(kAlarmOverCurrent);
}

void Reclose::beginGroupReclose() {
    hooks_.stop();
    bool first = tripped_[0];
    bool second = tripped_[1];
    std::string units = first && second ? "1 и НУ2" : first ? "1" : "2";
    std::string numbers;
    for (int n = 1; n <= 2; ++n) {
        if (!tripped_[index(n)])
            continue;
        numbers += (numbers.empty() ? "" : ", ") + std::to_string(counts_[index(n)] + 1);
    }
    hooks_.raise(kAlarmOverCurrentReclose,
                 alarmText(kAlarmOverCurrentReclose, units.c_str(), numbers.c_str()));
    if (!groupTimer_.armed())
        groupTimer_.start("ARA timer 20.2", araDelayMs(), [this] { onGroupTimer(); });
}

void Reclose::onGroupTimer() {
    if (hooks_.automatic()) {
        for (int n = 1; n <= 2; ++n) {
            if (!tripped_[index(n)])
                continue;
            journalPrintf(LOG_INFO, "АПВ НУ%d", n);
            hooks_.resetLine(n, true);
            ++counts_[index(n)];
            hooks_.markFaulty(n, false);
        }
        hooks_.groupResetStarted();
    }
    hooks_.clear(kAlarmOverCurrentReclose);
}

int Reclose::takePending() {
    for (int n = 1; n <= 2; ++n) {
        if (!pending_[index(n)])
            continue;
        pending_[index(n)] = false;
        return n;
    }
    return 0;
}

bool Reclose::takeRestarted(int n, float& trippedSetPoint) {
    if (!restarted_[index(n)])
        return false;
    restarted_[index(n)] = false;
    trippedSetPoint = setPoints_[index(n)];
    return true;
}

void Reclose::forgetPending() {
    pending_.fill(false);
    restarted_.fill(false);
}

// Each count is forgotten (and journalled) once, when it is not already zero.
void Reclose::cycleCompleted(int limit) {
    for (int n = 1; n <= 2; ++n) {
        int& cycles = cycles_[index(n)];
        cycles = std::min(cycles + 1, limit + 1);
        if (cycles > limit && counts_[index(n)] != 0) {
            journalPrintf(LOG_INFO, "Сброс счетчика АПВ НУ%d", n);
            counts_[index(n)] = 0;
        }
    }
}
