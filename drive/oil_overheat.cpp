#include "drive/oil_overheat.h"

#include "config/config.h"
#include "core/registry.h"
#include "drive/controller_types.h"
#include "drive/unit_settings.h"

namespace {

constexpr float kHaltMarginCelsius = 5.0f;

bool bothValvesOff() {
    return gConfig->ev1Mode.current == kUnitOff && gConfig->ev2Mode.current == kUnitOff;
}

bool coolingRunUnit(int unit) {
    int mode = unitModeOf(unit).current;
    int wanted = unit == 1 ? 0 : 1;
    return mode == kUnitOn || (mode == kUnitAuto && gConfig->prioPu1Pu2.current == wanted);
}

} // namespace

void OilOverheat::temperatureChanged(float celsius, float previous) {
    float stopAbove = gConfig->tempStopWork.value;
    if (celsius > stopAbove) {
        actions_.raiseAlarm(makeAlarm(kAlarmOilOverheat, actions_.automatic() ? alarmText(kAlarmOilOverheat)
                                                                              : "22. Перегрев масла."));
        hooks_.cancelDwell();
        if (gConfig->coolingPump.current != 0 || !actions_.automatic()) {
            // The extra pump cools; the drive stands still (state 0) until the oil is cool again.
            if (!hooks_.atRest())
                actions_.halt(true);
        } else if (!hooks_.in(Phase::Down) && !hooks_.in(Phase::Bottom) && !hooks_.in(Phase::CoolingRun)) {
            goDown();
        }
    }
    // Still hotter in the cooling run: the pump stops; the cycle stays in state 8.
    float haltAbove = stopAbove + kHaltMarginCelsius;
    if (hooks_.in(Phase::CoolingRun) && celsius > haltAbove && !(previous > haltAbove) &&
        gConfig->coolingPump.current == 0 && !bothValvesOff()) {
        actions_.halt(true);
        hooks_.enter(Phase::CoolingRun);
    }
    if (celsius < gConfig->tempStartWork.value && actions_.clearAlarm(kAlarmOilOverheat) &&
        actions_.automatic() && !hooks_.stopReasonActive())
        hooks_.restart();
}

void OilOverheat::goDown() {
    hooks_.enter(Phase::Down);
    hooks_.stopUnits(gConfig->mainPumpFreq.value);
    bool atBottom = hooks_.rodAtBottom();
    uint32_t limitMs = 0;
    if (atBottom)
        hooks_.noDescent();
    else
        limitMs = hooks_.downStrokeLimitMs();
    hooks_.openValves();
    if (atBottom) {
        this->atBottom();
        return;
    }
    hooks_.armStateTimer("overheatDown1", limitMs);
}

// At the bottom the rod waits downTimeMax before the cooling run.
void OilOverheat::atBottom() {
    hooks_.descentEnded();
    hooks_.enter(Phase::Bottom);
    hooks_.armStateTimer("overheatDown2", static_cast<uint32_t>(gConfig->downTimeMax.value * 1000.0f));
}

void OilOverheat::startCoolingRun() {
    hooks_.enter(Phase::CoolingRun);
    for (int valve = 1; valve <= 2; ++valve)
        if (valveModeOf(valve).current != kUnitOff)
            hooks_.setValve(valve, true);
    float frequency = gConfig->mainPumpFreq.value;
    for (int n = 1; n <= 2; ++n)
        if (coolingRunUnit(n))
            hooks_.startUnit(n, frequency);
    hooks_.armStateTimer("Cooling", static_cast<uint32_t>(gConfig->mainPumpMaxTime.value * 60000.0f));
}
