// Wedging of the valves (states 12-14): the up stroke did not reach the top in upTimeMax, so a valve
// may be stuck. The valves are toggled twelve times (250 ms off, 500 ms on, alternating ЭК1 and ЭК2),
// then an up stroke is tried; each failed try widens the choice of units, up to both at full speed.

#include "config/config.h"
#include "core/registry.h"
#include "drive/controller.h"
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

// Wedging belongs to the automatic cycle, whose state handler alone moves it on. In manual mode the
// operator holds the motor with the button: a long press neither stops it nor opens the valves.
void Controller::onMaxUpTimer() {
    if (!automatic())
        return;
    if (raiseAlarm(makeAlarm(kAlarmUpStrokeTooLong)))
        wedgingAttempts_ = 0;
    beginWedging();
}

void Controller::beginWedging() {
    wedgingToggles_ = 0;
    switch (gConfig->wedgingEV.current) {
    case kWedgingWithoutLoad:
        halt(true);
        enterState(kWedgingDown);
        for (int valve = 1; valve <= 2; ++valve)
            if (valveModeOf(valve).current != kUnitOff)
                setValve(valve, true);
        armStateTimer("wedgingDown", static_cast<uint32_t>(gConfig->downTimeMax.value * 1000.0f));
        return;
    case kWedgingUnderLoad:
        halt(true);
        enterState(kWedgingToggle);
        armStateTimer("startEsdging", kStartDelayMs);
        return;
    default:
        enterState(kWedgingToggle);
        toggleValvesForWedging();
        return;
    }
}

// Odd toggles close both valves for 250 ms; even ones open ЭК1 or ЭК2 (by bit 1 of the count) for
// 500 ms. After twelve, an up stroke is tried.
void Controller::toggleValvesForWedging() {
    if (wedgingToggles_ >= kToggles) {
        enterState(kWedgingUp);
        if (!tryWedgingUpStroke())
            halt(true);
        return;
    }
    uint32_t holdMs = kValvesOffMs;
    if (wedgingToggles_ % 2 == 1) {
        closeBothValves();
    } else {
        int valve = (wedgingToggles_ & 2) ? 2 : 1;
        if (valveModeOf(valve).current != kUnitOff)
            setValve(valve, true);
        holdMs = kValveOnMs;
    }
    ++wedgingToggles_;
    armStateTimer("Wedging", holdMs);
}

// Attempt 0: the current selection; 1: the other unit instead of a single one (at mid range); 2: both
// at mid range; 3: both at their maximum, when both are available. A unit is available when it is
// not switched off and its valve checks OK.
bool Controller::tryWedgingUpStroke() {
    bool selected1 = gConfig->selectedDrive1.current == 1;
    bool selected2 = gConfig->selectedDrive2.current == 1;
    if (wedgingAttempts_ == 1 && selected1 && selected2)
        wedgingAttempts_ = 2;
    switch (wedgingAttempts_) {
    case 0:
        break;
    case 1: {
        int other = selected1 ? 2 : 1;
        if (!unitAvailableForWedging(other))
            return false;
        selectedDriveOf(otherOf(other)).set(0);
        selectedDriveOf(other).set(1);
        freqDriveOf(other).set(midRange(other));
        break;
    }
    case 2:
        if (!unitAvailableForWedging(1) || !unitAvailableForWedging(2))
            return false;
        for (int n = 1; n <= 2; ++n) {
            selectedDriveOf(n).set(1);
            freqDriveOf(n).set(midRange(n));
        }
        break;
    case kLastAttempt:
        if (unitAvailableForWedging(1) && unitAvailableForWedging(2)) {
            for (int n = 1; n <= 2; ++n) {
                selectedDriveOf(n).set(1);
                freqDriveOf(n).set(maxFreqOf(n).value);
            }
        }
        break;
    default:
        return false;
    }
    startSelectedMotors();
    armStateTimer("wedgingUp", static_cast<uint32_t>(gConfig->upTimeMax.value * 1000.0f));
    return true;
}

void Controller::onWedgingUpTimeout() {
    ++wedgingAttempts_;
    enterState(kWedgingToggle);
    if (wedgingAttempts_ > 2) {
        toggleValvesForWedging();
        return;
    }
    beginWedging();
}

bool Controller::unitAvailableForWedging(int n) const {
    return unitModeOf(n).current != kUnitOff && valveState(n) == kSensorOk;
}
