#include "sim/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

const char kSimUsage[] =
    "usage: velkord-sim [options]\n"
    "Runs the velkord daemon against a simulated pumping unit in a sandbox directory.\n"
    "\n"
    "  --root DIR          sandbox directory (default ./run; created when missing, reused when present)\n"
    "  --speed N|max       simulated seconds per real second (default 1); max runs as fast as possible\n"
    "  --for SECONDS       run this many simulated seconds (at most 4000000), then stop cleanly\n"
    "  --scenario NAME|FILE  scripted plant scenario: a file, or one of normal, two-units,\n"
    "                      bottom-sensor-break, bottom-sensor-break-timed, overload, oil-overheat,\n"
    "                      overcurrent, remote-stop, low-oil, smart-rate\n"
    "  --http-port PORT    web interface over HTTP (default 8080)\n"
    "  --https-port PORT   web interface over HTTPS and HTTP/2 (default 8443)\n"
    "  --modbus-port PORT  Modbus TCP slave (default 5020)\n"
    "  --drive-bus local|pty  the drive bus inside the process at its real byte time (default), or a pty\n"
    "  --help              this text\n";

namespace {

// The longest run --for takes: its milliseconds fit the 32-bit timer delay.
constexpr double kMaxForSeconds = 4000000;

bool parseNumber(const char* text, double& value) {
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && std::isfinite(value);
}

bool parsePort(const char* text, int& port) {
    double value = 0;
    if (!parseNumber(text, value) || value < 1 || value > 65535 || value != static_cast<int>(value))
        return false;
    port = static_cast<int>(value);
    return true;
}

bool parseValue(const std::string& name, const char* value, SimOptions& options) {
    if (name == "--root") {
        options.root = value;
        return !options.root.empty();
    }
    if (name == "--speed") {
        if (std::strcmp(value, "max") == 0) {
            options.speed = 0;
            return true;
        }
        return parseNumber(value, options.speed) && options.speed > 0;
    }
    if (name == "--for")
        return parseNumber(value, options.forSeconds) && options.forSeconds >= 0 &&
               options.forSeconds <= kMaxForSeconds;
    if (name == "--scenario") {
        options.scenario = value;
        return true;
    }
    if (name == "--http-port")
        return parsePort(value, options.httpPort);
    if (name == "--https-port")
        return parsePort(value, options.httpsPort);
    if (name == "--modbus-port")
        return parsePort(value, options.modbusPort);
    if (name == "--drive-bus") {
        options.driveBusPty = std::strcmp(value, "pty") == 0;
        return options.driveBusPty || std::strcmp(value, "local") == 0;
    }
    return false;
}

bool takesValue(const std::string& name) {
    return name == "--root" || name == "--speed" || name == "--for" || name == "--scenario" ||
           name == "--http-port" || name == "--https-port" || name == "--modbus-port" ||
           name == "--drive-bus";
}

} // namespace

bool parseSimOptions(int argc, char** argv, SimOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            options.help = true;
            continue;
        }
        std::string name = argument;
        const char* value = nullptr;
        size_t equals = argument.find('=');
        if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argv[i] + equals + 1;
        }
        if (!takesValue(name)) {
            error = "unknown option: " + argument;
            return false;
        }
        if (!value) {
            if (i + 1 >= argc) {
                error = "option " + name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (!parseValue(name, value, options)) {
            error = "invalid value for " + name + ": " + value;
            return false;
        }
    }
    return true;
}
