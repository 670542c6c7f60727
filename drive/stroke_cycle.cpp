// The stroke cycle: up on the motors of the selected units, down on the valves, reversed at the
// position sensors, after dwell delays, or when the down stroke's time limit runs out.
//
// | state | meaning                                  | left by                                  |
// |   0   | stopped                                  | startDrive, automatic restarts           |
// |   1   | first down stroke after a start          | bottom reversal -> 2                     |
// |   2   | first up stroke after a start            | top reversal -> 3                        |
// |   3   | first down stroke of the following cycle | bottom reversal -> 4                     |
// |   4   | up stroke                                | top reversal -> 5                        |
// |   5   | down stroke (steady cycle)               | bottom reversal (tuning, dynamogram) -> 4 |
// States 6-8 are the oil overheating (oil_overheat.cpp), 9-11 the rod overload (rod_overload.cpp),
// 12-14 the wedging (wedging.cpp), 16-20 the drive reset (drive_reset_sequence.cpp).

#include "config/config.h"
#include "core/journal.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/controller.h"
#include "drive/pressure_plausibility.h"
#include "drive/unit_selection.h"
#include "drive/unit_settings.h"

#include <algorithm>
#include <cfloat>

namespace {

const char kUnit[] = "controller";

bool bothValvesOff() {
    return gConfig->ev1Mode.current == kUnitOff && gConfig->ev2Mode.current == kUnitOff;
}

} // namespace

void Controller::startDrive() {
    if (positions_.bottomConfirming())
        return;
    LOG_MSG(LOG_INFO, kUnit, "запуск привода");
    selectUnitsAndValves(unit1_->faulty(), unit2_->faulty());
    if (unit1_->bottomSensor() != kSensorActive) {
        enterState(kFirstDown);
        beginDownStroke("longDownTurn");
        return;
    }
    enterState(kFirstUp);
    beginUpStroke();
}

void Controller::halt(bool closeRecords) {
    LOG_MSG(LOG_INFO, kUnit, "остановка привода");
    unit1_->stopAndCloseValve();
    unit2_->stopAndCloseValve();
    enterState(kStopped);
    stateTimer_.cancel();
    dwellTimer_.cancel();
    downLimit_.descentOver();
    if (closeRecords)
        recorder_.saver().writeUnwritten();
}

// Opens the valves (supervised by maxDownTimer when one is selected) and arms the state timer with the
// down stroke's limit.
void Controller::beginDownStroke(const char* timerName) {
    if (unit1_->topSensor() == kSensorActive)
        armTopSensorTimeout();
    uint32_t limitMs = downStrokeLimitMs();
    openValves();
    if (anyValveSelected())
        armMaxDownTimer();
    armStateTimer(timerName, limitMs);
}

void Controller::beginUpStroke() {
    strokeStartMs_ = now();
    // The first full cycle after a start is recorded.
    if (state_ == kFirstUp)
        recorder_.saver().restartPeriod();
    if (state_ == kUp) {
        lastStroke_.downMs = now() - downStartMs_;
        countCompletedCycle();
    }
    closeBothValves();
    maxDownTimer_.cancel();
    downLimit_.descentOver(); // the down stroke is over
    float delay = gConfig->delayBDP.value;
    if (delay == 0 || bothValvesOff()) {
        if (unit1_->topSensor() == kSensorActive)
            onTopReversal(false);
        else
            startSelectedMotors();
    } else if (delay > 0) {
        dwellTimer_.start("delayBDP", static_cast<uint32_t>(delay * 1000.0f), [this] { onDwellTimer(); });
    }
    unit1_->clearPower();
    unit2_->clearPower();
    unit1_->resetGaugeExtremes();
    strokeMinLoad_ = FLT_MAX;
    strokeMaxLoad_ = FLT_MIN;
}

// A start can stop the drive at once (a drive reporting over-current): the other unit is then not
// started.
void Controller::startSelectedMotors() {
    int startedIn = state_;
    for (int n = 1; n <= 2 && state_ == startedIn; ++n)
        if (selectedDriveOf(n).current == 1 && !unit(n).faulty())
            unit(n).start(freqDriveOf(n).value);
}

// Cycles without an overload or over-current are counted; after araReset of them the restart counts
// are forgotten. Each count is forgotten (and journalled) once, when it is not already zero.
void Controller::countCompletedCycle() {
    int limit = static_cast<int>(gConfig->araReset.value);
    rodOverload_.cycleCompleted(limit);
    reclose_.cycleCompleted(limit);
}

void Controller::onTopReversal(bool fromSensor) {
    maxUpTimer_.cancel();
    enterState(state_ == kFirstUp ? kFirstCycleDown : kDown);
    strokeCompleted_ = true;
    recorder_.topReversal();
    if (fromSensor) {
        unit1_->stop(false);
        unit2_->stop(false);
    }
    lastStroke_.upMs = now() - strokeStartMs_;
    // The limit uses the up stroke just ended; it is computed before maxDownTimer is armed, which
    // keeps its alarm-26 mark for this stroke.
    uint32_t limitMs = downStrokeLimitMs();
    lowerMaxFrequencyAfterReset();
    judgePressurePlausibility(*unit1_, *unit2_, lastStroke_.upMs, *this);
    float dwell = topDwellSeconds();
    if (dwell > 0 && !bothValvesOff()) {
        dwellTimer_.start("delayTDP", static_cast<uint32_t>(dwell * 1000.0f), [this] { onDwellTimer(); });
    } else {
        if (unit1_->topSensor() == kSensorActive)
            armTopSensorTimeout();
        openValves();
        if (anyValveSelected())
            armMaxDownTimer();
    }
    armStateTimer("longDownTurn", limitMs);
}

void Controller::onDwellTimer() {
    if (!automatic())
        return;
    if (state_ == kFirstCycleDown || state_ == kDown) {
        if (unit1_->topSensor() == kSensorActive)
            armTopSensorTimeout();
        openValves();
        if (anyValveSelected())
            armMaxDownTimer();
        return;
    }
    if (state_ != kFirstUp && state_ != kUp)
        return;
    if (unit1_->topSensor() == kSensorActive)
        onTopReversal(false);
    else
        startSelectedMotors();
}

void Controller::clearPerStrokeAlarms() {
    if (!downLimit_.markedThisStroke())
        clearAlarm(kAlarmStrokeShortenedByRate);
    if (!downTimeThisStroke_)
        clearAlarm(kAlarmStrokeShortenedByDownTime);
    if (!rodOverload_.lowLoadThisStroke())
        clearAlarm(kAlarmLowRodLoad);
}

// The bottom of a down stroke in states 1, 3 and 5, by the sensor or by the time limit.
void Controller::onBottomReversal() {
    clearPerStrokeAlarms();
    strokeCompleted_ = true;
    recorder_.bottomReversal();
    if (state_ == kDown)
        tuning_.cycleFinished(now() - strokeStartMs_);
    else if (state_ == kFirstCycleDown)
        tuning_.firstCycleFinished(now() - strokeStartMs_);
    if (int n = reclose_.takePending()) {
        resetSequence_.beginUnitReset(n);
        return;
    }
    if (state_ == kDown) {
        enterState(kUp);
        beginUpStroke();
        recorder_.saver().cycleFinished();
        return;
    }
    enterState(state_ == kFirstDown ? kFirstUp : kUp);
    beginUpStroke();
}

// At the first top reversal after a unit came back from a drive reset, its maximum frequency is
// lowered below the set-point it tripped at, when lowerFreqOnOverload says "Да".
void Controller::lowerMaxFrequencyAfterReset() {
    for (int n = 1; n <= 2; ++n) {
        float trippedSetPoint = 0;
        if (!reclose_.takeRestarted(n, trippedSetPoint))
            continue;
        if (gConfig->lowerFreqOnOverload.current != 0)
            continue;
        float lowered = trippedSetPoint - gConfig->lowerFreqStep.value;
        maxFreqOf(n).set(std::max(lowered, minFreqOf(n).value));
    }
}
