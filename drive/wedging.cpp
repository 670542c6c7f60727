// Wedging belongs to the automatic cycle, whose state timer alone moves it on. In manual mode the
// operator holds the motor with the button: a long press neither stops it nor opens the valves.

#include "drive/wedging.h"

#include "config/config.h"
#include "core/registry.h"
#include "drive/controller_types.h"
#include "drive/unit_settings.h"

namespace {

constexpr int kToggles = 12;
constexpr uint32_t kValvesOffMs = 250;
constexpr uint32_t kValveOnMs = 500;
constexpr uint32_t kStartDelayMs = 1000;
constexpr int kLastAttempt = 3;

// wedgingEV: 0 under load (stopped first), 1 without load (going down first), 2 during the up stroke.
constexpr int kWedgingUnderLoad = 0;
constexpr int kWedgingWithoutLoad = 1;

float midRange(int unit) {
    return (minFreqOf(unit).value + maxFreqOf(unit).value) / 2.0f;
}

} // namespace

void Wedging::upStrokeTooLong() {
    if (!actions_.automatic())
        return;
    if (actions_.raiseAlarm(makeAlarm(kAlarmUpStrokeTooLong)))
        attempts_ = 0;
    begin();
}

void Wedging::begin() {
    toggles_ = 0;
    switch (gConfig->wedgingEV.current) {
    case kWedgingWithoutLoad:
        actions_.halt(true);
        hooks_.enter(Phase::Down);
        for (int valve = 1; valve <= 2; ++valve)
            if (valveModeOf(valve).current != kUnitOff)
                hooks_.setValve(valve, true);
        hooks_.armStateTimer("wedgingDown", static_cast<uint32_t>(gConfig->downTimeMax.value * 1000.0f));
        return;
    case kWedgingUnderLoad:
        actions_.halt(true);
        hooks_.enter(Phase::Toggle);
        hooks_.armStateTimer("startEsdging", kStartDelayMs);
        return;
    default:
        hooks_.enter(Phase::Toggle);
        toggleDue();
        return;
    }
}

// Odd toggles close both valves for 250 ms; even ones open ЭК1 or ЭК2 (by bit 1 of the count) for
// 500 ms. After twelve, an up stroke is tried.
void Wedging::toggleDue() {
    if (toggles_ >= kToggles) {
        hooks_.enter(Phase::Up);
        if (!tryUpStroke())
            actions_.halt(true);
        return;
    }
    uint32_t holdMs = kValvesOffMs;
    if (toggles_ % 2 == 1) {
        hooks_.setValve(1, false);
        hooks_.setValve(2, false);
    } else {
        int valve = (toggles_ & 2) ? 2 : 1;
        if (valveModeOf(valve).current != kUnitOff)
            hooks_.setValve(valve, true);
        holdMs = kValveOnMs;
    }
    ++toggles_;
    hooks_.armStateTimer("Wedging", holdMs);
}

// Attempt 0: the current selection; 1: the other unit instead of a single one (at mid range); 2: both
// at mid range; 3: both at their maximum, when both are available. A unit is available when it is
// not switched off and its valve checks OK.
bool Wedging::tryUpStroke() {
    bool selected1 = gConfig->selectedDrive1.current == 1;
    bool selected2 = gConfig->selectedDrive2.current == 1;
    if (attempts_ == 1 && selected1 && selected2)
        attempts_ = 2;
    switch (attempts_) {
    case 0:
        break;
    case 1: {
        int other = selected1 ? 2 : 1;
        if (!unitAvailable(other))
            return false;
        selectedDriveOf(otherOf(other)).set(0);
        selectedDriveOf(other).set(1);
        freqDriveOf(other).set(midRange(other));
        break;
    }
    case 2:
        if (!unitAvailable(1) || !unitAvailable(2))
            return false;
        for (int n = 1; n <= 2; ++n) {
            selectedDriveOf(n).set(1);
            freqDriveOf(n).set(midRange(n));
        }
        break;
    case kLastAttempt:
        if (unitAvailable(1) && unitAvailable(2)) {
            for (int n = 1; n <= 2; ++n) {
                selectedDriveOf(n).set(1);
                freqDriveOf(n).set(maxFreqOf(n).value);
            }
        }
        break;
    default:
        return false;
    }
    hooks_.startSelectedMotors();
    hooks_.armStateTimer("wedgingUp", static_cast<uint32_t>(gConfig->upTimeMax.value * 1000.0f));
    return true;
}

void Wedging::upStrokeTimedOut() {
    ++attempts_;
    hooks_.enter(Phase::Toggle);
    if (attempts_ > 2) {
        toggleDue();
        return;
    }
    begin();
}

bool Wedging::unitAvailable(int n) const {
    return unitModeOf(n).current != kUnitOff && hooks_.valveState(n) == kSensorOk;
}
