// The valve check.
//
// A short of one valve is not reported while the other valve is energised and shows no current of its
// own: the current seen is then most likely the other valve's, on crossed feedback lines.

#include "drive/valve_check.h"

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/controller_types.h"
#include "drive/unit_settings.h"

#include <string>

namespace {

const char kUnit[] = "controller";

constexpr int kValveLamps[] = {37, 39};

bool faulty(int state) {
    return state == kSensorOpen || state == kSensorShort;
}

} // namespace

void ValveCheck::switched(int valve) {
    checks_[index(valve)].start("evCheck", kCheckMs, [this, valve] { check(valve); });
}

void ValveCheck::feedbackChanged(int valve) {
    if (checks_[index(valve)].armed()) {
        summarise();
        return;
    }
    check(valve);
}

void ValveCheck::check(int valve) {
    bool on = hooks_.on(valve);
    bool current = hooks_.current(valve);
    int other = otherOf(valve);
    bool othersCurrent = hooks_.on(other) && !hooks_.current(other);
    if (on && !current)
        mark(valve, kSensorOpen);
    else if (!on && current && !othersCurrent)
        mark(valve, kSensorShort);
    else
        mark(valve, kSensorOk);
    summarise();
}

void ValveCheck::mark(int valve, int state) {
    int previous = hooks_.state(valve);
    hooks_.mark(valve, state);
    int lamp = kValveLamps[index(valve)];
    hooks_.blink(lamp, state == kSensorShort, state == kSensorOpen);
    if (!faulty(state)) {
        if (previous != kSensorOk)
            LOG_MSG(LOG_INFO, kUnit, "ЭК%d: помечен как %sисправный", valve, "");
        // The alarm stays while the other valve is still faulty, with that valve's text.
        int otherState = hooks_.state(otherOf(valve));
        if (!faulty(otherState))
            actions_.clearAlarm(kAlarmValveBreak);
        else
            actions_.changeAlarmText(
                kAlarmValveBreak,
                formatText(otherState == kSensorOpen ? "27.1 Обрыв ЭК%d" : "27.2 КЗ ЭК%d", otherOf(valve)));
        return;
    }
    if (previous != state)
        LOG_MSG(LOG_INFO, kUnit, "ЭК%d: помечен как %sисправный", valve, "не");
    std::string text = formatText(state == kSensorOpen ? "27.1 Обрыв ЭК%d" : "27.2 КЗ ЭК%d", valve);
    if (!actions_.raiseAlarm(makeAlarm(kAlarmValveBreak, text)))
        actions_.changeAlarmText(kAlarmValveBreak, text);
}

void ValveCheck::summarise() {
    std::string stop;
    std::string ignore;
    bool healthyValveTakesPart = false;
    for (int valve = 1; valve <= 2; ++valve) {
        int state = hooks_.state(valve);
        if (!faulty(state)) {
            healthyValveTakesPart |= valveModeOf(valve).current != kUnitOff;
            continue;
        }
        bool open = state == kSensorOpen;
        std::string name = " ЭК" + std::to_string(valve);
        stop += (stop.empty() ? "" : ", ") + std::string(open ? "обрыв" : "КЗ") + name;
        ignore += (ignore.empty() ? "" : ", ") + std::string(open ? "обрыва" : "КЗ") + name;
    }
    if (stop.empty()) {
        actions_.clearAlarm(kAlarmValveFaultIgnored);
        actions_.clearAndRestart(kAlarmValveFaultStop);
        return;
    }
    bool workOn = gConfig->workWithBrokenEV.current == 0 && healthyValveTakesPart;
    if (workOn) {
        std::string text = alarmText(kAlarmValveFaultIgnored, ignore.c_str());
        if (!actions_.raiseAlarm(makeAlarm(kAlarmValveFaultIgnored, text)))
            actions_.changeAlarmText(kAlarmValveFaultIgnored, text);
        actions_.clearAndRestart(kAlarmValveFaultStop);
        return;
    }
    actions_.clearAlarm(kAlarmValveFaultIgnored);
    std::string text = alarmText(kAlarmValveFaultStop, stop.c_str());
    if (actions_.raiseAlarm(makeAlarm(kAlarmValveFaultStop, text))) {
        if (actions_.automatic())
            actions_.halt(true);
        return;
    }
    actions_.changeAlarmText(kAlarmValveFaultStop, text);
}
