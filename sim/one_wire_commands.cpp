// Control commands of the simulated 1-wire bus (sensors named by id, or "oil" and "board" for the
// sandbox's two):
//   w1                             the sensors, "ok ID CELSIUS YES|NO, ..."
//   w1 add SENSOR [CELSIUS]        a sensor on the bus (the oil sensor follows the plant)
//   w1 remove SENSOR               a sensor off the bus
//   w1 crc SENSOR yes|no           its readings pass or fail their CRC
//   w1 set SENSOR CELSIUS          a fixed sensor's temperature
//   thermometer ok|error           the oil sensor's CRC, as "w1 crc oil yes|no"

#include "sim/sandbox.h"
#include "sim/sim_one_wire_bus.h"
#include "sim/sim_session.h"

#include <cmath>
#include <cstdlib>

namespace {

using Arguments = std::vector<std::string>;

const char kUsage[] = "error usage: w1 [add SENSOR [CELSIUS] | remove SENSOR | crc SENSOR yes|no | "
                      "set SENSOR CELSIUS]";

std::string sensorId(const std::string& word) {
    if (word == "oil")
        return kSimOilThermometer;
    if (word == "board")
        return kSimBoardThermometer;
    return word;
}

bool parseCelsius(const std::string& text, double& celsius) {
    char* end = nullptr;
    celsius = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(celsius);
}

std::string add(SimOneWireBus& bus, const Arguments& arguments) {
    double celsius = SimOneWireBus::kDefaultCelsius;
    if (arguments.size() < 2 || arguments.size() > 3 ||
        (arguments.size() == 3 && !parseCelsius(arguments[2], celsius)))
        return kUsage;
    std::string error;
    if (!bus.add(sensorId(arguments[1]), celsius, error))
        return "error " + error;
    return "ok";
}

std::string oneWire(SimOneWireBus& bus, const Arguments& arguments) {
    if (arguments.empty())
        return "ok " + bus.describe();
    const std::string& action = arguments[0];
    if (action == "add")
        return add(bus, arguments);
    if (arguments.size() < 2)
        return kUsage;
    std::string id = sensorId(arguments[1]);
    if (action == "remove" && arguments.size() == 2)
        return bus.remove(id) ? "ok" : "error no sensor " + id;
    if (action == "crc" && arguments.size() == 3 && (arguments[2] == "yes" || arguments[2] == "no"))
        return bus.setCrcGood(id, arguments[2] == "yes") ? "ok" : "error no sensor " + id;
    double celsius = 0;
    if (action == "set" && arguments.size() == 3 && parseCelsius(arguments[2], celsius))
        return bus.setCelsius(id, celsius) ? "ok" : "error no fixed sensor " + id;
    return kUsage;
}

} // namespace

void addOneWireCommands(ControlServer& control, SimOneWireBus& bus) {
    control.addCommand("w1", [&bus](const Arguments& arguments) { return oneWire(bus, arguments); });
    control.addCommand("thermometer", [&bus](const Arguments& arguments) -> std::string {
        if (arguments.size() != 1 || (arguments[0] != "ok" && arguments[0] != "error"))
            return "error usage: thermometer ok|error";
        if (!bus.setCrcGood(kSimOilThermometer, arguments[0] == "ok"))
            return "error the oil sensor is not on the bus";
        return "ok";
    });
}
