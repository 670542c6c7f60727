// Control commands of the plant:
//   plant                          the plant's state, "ok position=0.512 velocity=..."
//   plant set NAME VALUE           fill, stroke, rodweight, fluidload, friction, noise, ambient,
//                                  heating, oil (temperature now), position (0 bottom .. 1 top)
//   sensor top|bottom|oil ok|break|short
//   oil low|ok                     the oil level
//   ecm on|off                     the contact manometer
//   valve 1|2 ok|break|short       the valve's current feedback wiring
//   feedback fan|pump ok|fail      the cooling feedback contacts
//   pressure ok|break              the pressure sensor's current loop
//   mode 1|2 manual|stop|auto|faulty   a pump unit's mode switch
//   panel on|off                   the panel-enable input
//   button 1|2 up|down press|release   a pump unit's manual push button
//   output N                       a discrete output (its bit, 0-63) as the chain last received it, "ok
//   on|off"

#include "core/log.h"
#include "sim/plant_board.h"
#include "sim/sim_session.h"

#include <cmath>
#include <cstdlib>
#include <map>

namespace {

using Arguments = std::vector<std::string>;

bool parseWiring(const std::string& word, Wiring& wiring) {
    static const std::map<std::string, Wiring> kWords = {
        {"ok", Wiring::Ok}, {"break", Wiring::Break}, {"short", Wiring::Short}};
    auto it = kWords.find(word);
    if (it == kWords.end())
        return false;
    wiring = it->second;
    return true;
}

bool parseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(value);
}

std::string setParameter(PlantBoard& board, const Arguments& arguments) {
    double value = 0;
    if (arguments.size() != 3 || !parseNumber(arguments[2], value))
        return "error usage: plant set NAME VALUE";
    PlantParameters& p = board.model().parameters();
    const std::map<std::string, double*> kParameters = {
        {"fill", &p.fillFactor},        {"stroke", &p.strokeMeters},
        {"rodweight", &p.rodWeightKgf}, {"fluidload", &p.fluidLoadKgf},
        {"friction", &p.frictionKgf},   {"noise", &p.noiseKgf},
        {"ambient", &p.ambientCelsius}, {"heating", &p.heatingCelsiusPerSecond},
    };
    board.update();
    if (arguments[1] == "oil") {
        board.model().setOilCelsius(value);
        return "ok";
    }
    if (arguments[1] == "position") {
        board.model().setPosition(value);
        return "ok";
    }
    auto it = kParameters.find(arguments[1]);
    if (it == kParameters.end())
        return "error unknown plant parameter " + arguments[1];
    *it->second = value;
    return "ok";
}

std::string onOff(const Arguments& arguments, const char* usage, bool& flag, const char* on,
                  const char* off) {
    if (arguments.size() != 1 || (arguments[0] != on && arguments[0] != off))
        return std::string("error usage: ") + usage;
    flag = arguments[0] == on;
    return "ok";
}

} // namespace

void addPlantCommands(ControlServer& control, PlantBoard& board) {
    control.addCommand("plant", [&board](const Arguments& arguments) -> std::string {
        if (arguments.empty())
            return "ok " + board.describe();
        if (arguments[0] == "set")
            return setParameter(board, arguments);
        return "error usage: plant [set NAME VALUE]";
    });
    control.addCommand("sensor", [&board](const Arguments& arguments) -> std::string {
        Wiring wiring;
        if (arguments.size() != 2 || !parseWiring(arguments[1], wiring))
            return "error usage: sensor top|bottom|oil ok|break|short";
        if (arguments[0] == "top")
            board.topSensor = wiring;
        else if (arguments[0] == "bottom")
            board.bottomSensor = wiring;
        else if (arguments[0] == "oil")
            board.oilSensor = wiring;
        else
            return "error unknown sensor " + arguments[0];
        return "ok";
    });
    control.addCommand("oil", [&board](const Arguments& arguments) {
        return onOff(arguments, "oil low|ok", board.oilLow, "low", "ok");
    });
    control.addCommand("ecm", [&board](const Arguments& arguments) {
        return onOff(arguments, "ecm on|off", board.contactManometer, "on", "off");
    });
    control.addCommand("pressure", [&board](const Arguments& arguments) {
        return onOff(arguments, "pressure ok|break", board.pressureSensorBroken, "break", "ok");
    });
    control.addCommand("output", [&board](const Arguments& arguments) -> std::string {
        constexpr long kLastOutput = 63;
        char* end = nullptr;
        long n = arguments.size() == 1 ? std::strtol(arguments[0].c_str(), &end, 10) : -1;
        if (arguments.size() != 1 || *end != '\0' || n < 0 || n > kLastOutput)
            return "error usage: output 0-63";
        return board.outputActive(static_cast<int>(n)) ? "ok on" : "ok off";
    });
    control.addCommand("panel", [&board](const Arguments& arguments) {
        return onOff(arguments, "panel on|off", board.panelEnabled, "on", "off");
    });
    control.addCommand("valve", [&board](const Arguments& arguments) -> std::string {
        Wiring wiring;
        if (arguments.size() != 2 || (arguments[0] != "1" && arguments[0] != "2") ||
            !parseWiring(arguments[1], wiring))
            return "error usage: valve 1|2 ok|break|short";
        board.valve[arguments[0] == "2"] = wiring;
        return "ok";
    });
    control.addCommand("feedback", [&board](const Arguments& arguments) -> std::string {
        if (arguments.size() != 2 || (arguments[1] != "ok" && arguments[1] != "fail"))
            return "error usage: feedback fan|pump ok|fail";
        bool fails = arguments[1] == "fail";
        if (arguments[0] == "fan")
            board.fanFeedbackFails = fails;
        else if (arguments[0] == "pump")
            board.coolingPumpFeedbackFails = fails;
        else
            return "error unknown feedback " + arguments[0];
        return "ok";
    });
    control.addCommand("button", [&board](const Arguments& arguments) -> std::string {
        if (arguments.size() != 3 || (arguments[0] != "1" && arguments[0] != "2") ||
            (arguments[1] != "up" && arguments[1] != "down") ||
            (arguments[2] != "press" && arguments[2] != "release"))
            return "error usage: button 1|2 up|down press|release";
        board.button[arguments[0] == "2"][arguments[1] == "down"] = arguments[2] == "press";
        return "ok";
    });
    control.addCommand("mode", [&board](const Arguments& arguments) -> std::string {
        static const std::map<std::string, int> kModes = {{"manual", PlantBoard::kManual},
                                                          {"stop", PlantBoard::kStop},
                                                          {"auto", PlantBoard::kAutomatic},
                                                          {"faulty", PlantBoard::kFaulty}};
        auto mode = arguments.size() == 2 ? kModes.find(arguments[1]) : kModes.end();
        if (mode == kModes.end() || (arguments[0] != "1" && arguments[0] != "2"))
            return "error usage: mode 1|2 manual|stop|auto|faulty";
        board.mode[arguments[0] == "2"] = mode->second;
        return "ok";
    });
}
