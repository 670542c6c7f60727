// The journal's detailed parameter line: the drive's measurements after every entry while logLevel
// is "Подробное".

#include "config/config.h"
#include "core/registry.h"
#include "drive/controller.h"

#include <cstdio>
#include <string>

namespace {

// Each value is formatted into 24 bytes, at most 23 characters.
std::string field(const Measurement& measurement, const char* format) {
    if (!measurement.valid)
        return "н/д";
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, format, measurement.value);
    return buffer;
}

} // namespace

std::string Controller::journalParameterLine() const {
    if (!gConfig || gConfig->logLevel.current != 1)
        return std::string();
    return "P=" + field(view_.pressure(), "%.1f атм.") + " G=" + field(view_.load(), "%.1f кгс") +
           " I1=" + field(view_.current(1), "%.1f A") + " I2=" + field(view_.current(2), "%.1f A") +
           " F1=" + field(view_.frequency(1), "%.1f Гц") + " F2=" + field(view_.frequency(2), "%.1f Гц") +
           " T=" + field(view_.oilTemperature(), "%.1f°C") + " ЭК1=" + (valveOn(1) ? "вкл" : "выкл") +
           " ЭК2=" + (valveOn(2) ? "вкл" : "выкл") + " ДВ=" + view_.topSensorText(1) +
           " ДН=" + view_.bottomSensorText(1);
}
