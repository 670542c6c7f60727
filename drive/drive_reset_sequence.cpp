// Drive alarm reset (states 16-20): a unit's reset line is raised for 150 ms, then the drive is given a
// second to report, and the cycle goes on with the unit if its alarm has gone.
//
// The pulse always ends, whatever the mode switch says meanwhile: a drive is never left held in
// reset. A drive that has not answered its alarm words since the reset is waited for (up to
// kFreshReadingWaits more seconds) rather than judged on what it said before.

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/controller.h"
#include "drive/unit_settings.h"

namespace {

const char kUnit[] = "controller";

constexpr int kFreshReadingWaits = 10;

} // namespace

void Controller::beginUnitReset(int n) {
    halt(true);
    resetLines_.write(n, true);
    ++recloses_[index(n)];
    unit(n).markFaulty(false);
    enterState(n == 1 ? kResetUnit1 : kResetUnit2);
    armStateTimer("resetVfdAlarms", kResetPulseMs);
}

void Controller::onResetPulseEnd() {
    int n = state_ == kResetUnit1 ? 1 : 2;
    resetLines_.write(n, false);
    unit(n).clearPower();
    if (!automatic())
        return;
    enterState(n == 1 ? kCheckUnit1 : kCheckUnit2);
    checkVfdWaits_ = 0;
    armStateTimer("checkVfdAlarms", kCheckVfdAlarmsMs);
}

void Controller::onResetBothEnd() {
    resetLines_.write(1, false);
    resetLines_.write(2, false);
    if (!automatic())
        return;
    clearAlarm(kAlarmOverCurrentReclose);
    // The over-current was dealt with by the reset; a drive that still reports it raises it again.
    clearAlarm(kAlarmOverCurrent);
    for (int n = 1; n <= 2; ++n) {
        if (!overCurrentTripped_[index(n)])
            continue;
        overCurrentTripped_[index(n)] = false;
        freqDriveOf(n).set(minFreqOf(n).value);
    }
    selectUnitsAndValves();
    startDrive();
}

void Controller::onCheckVfdAlarms() {
    int n = state_ == kCheckUnit1 ? 1 : 2;
    PumpUnit& drive = unit(n);
    if (!drive.alarmWordsFresh() && checkVfdWaits_++ < kFreshReadingWaits) {
        armStateTimer("checkVfdAlarms", kCheckVfdAlarmsMs);
        return;
    }
    if (drive.overCurrent()) {
        clearAlarm(kAlarmOverCurrent);
        startDrive();
        return;
    }
    selectedDriveOf(n).set(1);
    freqDriveOf(n).set(minFreqOf(n).value);
    selectUnitsAndValves();
    clearAlarm(kAlarmOverCurrent);
    overCurrentTripped_[index(n)] = false;
    if (bottomFilters_[0].confirming()) {
        // The bottom sensor is being confirmed; its verdict comes first.
        armStateTimer("checkVfdAlarms", kCheckVfdAlarmsMs);
        return;
    }
    LOG_MSG(LOG_INFO, kUnit, "запуск привода");
    enterState(kFirstUp);
    beginUpStroke();
    restartedAfterReset_[index(n)] = true;
}
