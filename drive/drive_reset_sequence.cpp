// Drive alarm reset of a reclose: a drive that has not answered its alarm words since the reset is
// waited for (up to kFreshReadingWaits more seconds) rather than judged on what it said before.

#include "drive/drive_reset_sequence.h"

#include "core/log.h"
#include "drive/alarm_catalogue.h"
#include "drive/controller_types.h"
#include "drive/unit_settings.h"

namespace {

const char kUnit[] = "controller";

} // namespace

void DriveResetSequence::beginUnitReset(int n) {
    hooks_.stop();
    hooks_.resetLine(n, true);
    reclose_.countReset(n);
    hooks_.markHealthy(n);
    hooks_.pulseStarted(n);
}

void DriveResetSequence::pulseEnded(int n) {
    hooks_.resetLine(n, false);
    hooks_.clearPower(n);
    if (!hooks_.automatic())
        return;
    checkWaits_ = 0;
    hooks_.checkStarted(n);
}

void DriveResetSequence::bothPulsesEnded() {
    hooks_.resetLine(1, false);
    hooks_.resetLine(2, false);
    if (!hooks_.automatic())
        return;
    hooks_.clear(kAlarmOverCurrentReclose);
    // The over-current was dealt with by the reset; a drive that still reports it raises it again.
    hooks_.clear(kAlarmOverCurrent);
    for (int n = 1; n <= 2; ++n) {
        if (!reclose_.tripped(n))
            continue;
        reclose_.clearTrip(n);
        freqDriveOf(n).set(minFreqOf(n).value);
    }
    hooks_.selectUnits();
    hooks_.startDrive();
}

void DriveResetSequence::checkDue(int n) {
    if (!hooks_.alarmWordsFresh(n) && checkWaits_++ < kFreshReadingWaits) {
        hooks_.waitCheck();
        return;
    }
    if (hooks_.overCurrent(n)) {
        hooks_.clear(kAlarmOverCurrent);
        hooks_.startDrive();
        return;
    }
    selectedDriveOf(n).set(1);
    freqDriveOf(n).set(minFreqOf(n).value);
    hooks_.selectUnits();
    hooks_.clear(kAlarmOverCurrent);
    reclose_.clearTrip(n);
    if (hooks_.bottomConfirming()) {
        // The bottom sensor is being confirmed; its verdict comes first.
        hooks_.waitCheck();
        return;
    }
    LOG_MSG(LOG_INFO, kUnit, "запуск привода");
    hooks_.upStroke();
    reclose_.markRestarted(n);
}
