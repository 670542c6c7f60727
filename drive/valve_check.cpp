// The valve check: inputs 17 and 18 tell whether current flows in ЭК1 and ЭК2. An energised valve
// without current is an open circuit, a de-energised one with current a short circuit (alarm 34, the
// valve's lamp blinking slowly or fast). Faulty valves stop the drive (alarm 12) unless
// workWithBrokenEV allows working on and a valve that takes part is still healthy (alarm 35).
//
// A short of one valve is not reported while the other valve is energised and shows no current of its
// own: the current seen is then most likely the other valve's, on crossed feedback lines.

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/controller.h"
#include "drive/discrete_inputs.h"
#include "drive/unit_settings.h"

#include <string>

namespace {

const char kUnit[] = "controller";

constexpr int kCurrentInputs[] = {kInputValve1Current, kInputValve2Current};
constexpr int kValveLamps[] = {37, 39};

bool faulty(int state) {
    return state == kSensorOpen || state == kSensorShort;
}

} // namespace

void Controller::onValveFeedback(int valve) {
    if (evCheck_[index(valve)].armed()) {
        summariseValves();
        return;
    }
    checkValve(valve);
}

void Controller::checkValve(int valve) {
    bool on = valveOn(valve);
    bool current = inputOn(kCurrentInputs[index(valve)]);
    int other = otherOf(valve);
    bool othersCurrent = valveOn(other) && !inputOn(kCurrentInputs[index(other)]);
    if (on && !current)
        markValve(valve, kSensorOpen);
    else if (!on && current && !othersCurrent)
        markValve(valve, kSensorShort);
    else
        markValve(valve, kSensorOk);
    summariseValves();
}

void Controller::markValve(int valve, int state) {
    int previous = valveState(valve);
    unit(valve).setSensor(PumpUnit::kValve, state);
    int lamp = kValveLamps[index(valve)];
    setBlink(lamp, state == kSensorShort, state == kSensorOpen);
    if (!faulty(state)) {
        if (previous != kSensorOk)
            LOG_MSG(LOG_INFO, kUnit, "ЭК%d: помечен как %sисправный", valve, "");
        // The alarm stays while the other valve is still faulty, with that valve's text.
        int otherState = valveState(otherOf(valve));
        if (!faulty(otherState))
            clearAlarm(kAlarmValveBreak);
        else
            changeAlarmText(
                kAlarmValveBreak,
                formatText(otherState == kSensorOpen ? "27.1 Обрыв ЭК%d" : "27.2 КЗ ЭК%d", otherOf(valve)));
        return;
    }
    if (previous != state)
        LOG_MSG(LOG_INFO, kUnit, "ЭК%d: помечен как %sисправный", valve, "не");
    std::string text = formatText(state == kSensorOpen ? "27.1 Обрыв ЭК%d" : "27.2 КЗ ЭК%d", valve);
    if (!raiseAlarm(makeAlarm(kAlarmValveBreak, text)))
        changeAlarmText(kAlarmValveBreak, text);
}

void Controller::summariseValves() {
    std::string stop;
    std::string ignore;
    bool healthyValveTakesPart = false;
    for (int valve = 1; valve <= 2; ++valve) {
        int state = valveState(valve);
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
        clearAlarm(kAlarmValveFaultIgnored);
        clearAndRestart(kAlarmValveFaultStop);
        return;
    }
    bool workOn = gConfig->workWithBrokenEV.current == 0 && healthyValveTakesPart;
    if (workOn) {
        std::string text = alarmText(kAlarmValveFaultIgnored, ignore.c_str());
        if (!raiseAlarm(makeAlarm(kAlarmValveFaultIgnored, text)))
            changeAlarmText(kAlarmValveFaultIgnored, text);
        clearAndRestart(kAlarmValveFaultStop);
        return;
    }
    clearAlarm(kAlarmValveFaultIgnored);
    std::string text = alarmText(kAlarmValveFaultStop, stop.c_str());
    if (raiseAlarm(makeAlarm(kAlarmValveFaultStop, text))) {
        if (automatic())
            halt(true);
        return;
    }
    changeAlarmText(kAlarmValveFaultStop, text);
}
