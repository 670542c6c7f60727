// The supervision timers of the stroke: how long a down or up stroke may take, how long a position
// sensor may stay active, and what the motors' turning ending arms.

#include "config/config.h"
#include "core/registry.h"
#include "drive/controller.h"
#include "drive/unit_settings.h"

namespace {

uint32_t secondsMs(float seconds) {
    return seconds > 0 ? static_cast<uint32_t>(seconds * 1000.0f) : 0;
}

} // namespace

void Controller::armStateTimer(const char* name, uint32_t ms) {
    stateTimer_.start(name, ms, [this] { onStateTimer(); });
}

// Armed when the valves open; a new down stroke starts with clean per-stroke flags, except the mark of
// a limit computed from the stroke rate for it (every down stroke computes its limit before this;
// the mark ends with the stroke, at the bottom or at a halt).
void Controller::armMaxDownTimer() {
    rodOverload_.strokeBegins();
    downTimeThisStroke_ = false;
    downLimit_.strokeBegins();
    maxDownTimer_.start("maxDownTimer", secondsMs(gConfig->downTimeMax.value), [this] { onMaxDownTimer(); });
}

void Controller::onMaxDownTimer() {
    // A long down stroke is a malfunction only when the stroke is reversed by time and the setting
    // longDownAsMalfunction says "Да".
    if (gConfig->longDownTurn.current != 1 || gConfig->longDownAsMalfunction.current != 0)
        return;
    downTimeThisStroke_ = true;
    raiseAlarm(makeAlarm(kAlarmStrokeShortenedByDownTime));
}

// Armed when the motors start, except during the up-stroke attempts of the wedging procedure and the
// cooling run, where the motors run against open valves on purpose.
void Controller::armMaxUpTimer() {
    if (state_ == kWedgingUp || state_ == kCoolingRun)
        return;
    maxUpTimer_.start("maxUpTimer", secondsMs(gConfig->upTimeMax.value),
                      [this] { wedging_.upStrokeTooLong(); });
}

void Controller::armTopSensorTimeout() {
    topSensorTimeout_.start("topSensorTimeout", secondsMs(gConfig->posSensorMaxTime.value),
                            [this] { onTopSensorTimeout(); });
}

void Controller::armBotSensorTimeout() {
    if (state_ == kCoolingRun)
        return;
    botSensorTimeout_.start("botSensorTimeout", secondsMs(gConfig->posSensorMaxTime.value),
                            [this] { onBotSensorTimeout(); });
}

void Controller::onTopSensorTimeout() {
    if (raiseAlarm(makeAlarm(kAlarmTopSensorTimeout)) && automatic())
        halt(true);
}

void Controller::onBotSensorTimeout() {
    if (gConfig->downTimeOnBrokenSensor.value != 0) {
        raiseAlarm(makeAlarm(kAlarmBottomSensorTimeoutIgnored));
        return;
    }
    if (raiseAlarm(makeAlarm(kAlarmBottomSensorTimeout)) && automatic())
        halt(true);
}

// Both motors stand and no usable valve is known to be healthy: the rod may be sinking on its own,
// which the position supervision then watches.
void Controller::onTurningStopped() {
    if (outputOn(kTurningLamp1) || outputOn(kTurningLamp2))
        return;
    for (int valve = 1; valve <= 2; ++valve)
        if (valveModeOf(valve).current != kUnitOff && unit(valve).sensor(PumpUnit::kValve) == kSensorOk)
            return;
    armTopSensorTimeout();
    armMaxDownTimer();
}
