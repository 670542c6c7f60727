#include "ui/main_screen_lines.h"

#include "config/config.h"
#include "drive/alarm_list.h"
#include "drive/drive_view.h"

#include <cstdarg>
#include <cstdio>

namespace {

constexpr int kUnit1 = 1;
constexpr int kUnit2 = 2;
// "Интеллектуально" is option 1 of nsMode.
constexpr int kSmartMode = 1;
// The gauge reads absolute pressure; the screen shows it above the atmosphere.
constexpr float kAtmosphere = 1.0F;

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

std::string format(const char* fmt, ...) {
    char buffer[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

std::string measured(const char* fmt, const char* name, const Measurement& value, float offset = 0) {
    if (!value.valid)
        return std::string(name) + " = н/д";
    return format(fmt, static_cast<double>(value.value - offset));
}

} // namespace

std::vector<PlacedText> mainScreenLines(const DriveView& drive, const Config& config, time_t now) {
    std::vector<PlacedText> lines;
    lines.push_back({0, 8, drive.modeSwitchDisplayText(kUnit1)});
    lines.push_back({200, 8, format("ИР-%sкл.", config.nsMode.current == kSmartMode ? "В" : "От")});
    lines.push_back({0, 17, drive.currentAlarmText()});
    lines.push_back(
        {0, 26, format("НУ1-%s (%s)", config.pu1Mode.currentText().c_str(), drive.unitFaultText(kUnit1))});
    lines.push_back(
        {120, 26, format("НУ2-%s (%s)", config.pu2Mode.currentText().c_str(), drive.unitFaultText(kUnit2))});
    lines.push_back(
        {0, 35, format("ЭК1-%s (%s)", config.ev1Mode.currentText().c_str(), drive.valveStateText(kUnit1))});
    lines.push_back(
        {120, 35, format("ЭК2-%s (%s)", config.ev2Mode.currentText().c_str(), drive.valveStateText(kUnit2))});
    // G and P both depend on the pressure measurement.
    Measurement pressure = drive.pressure();
    Measurement load = drive.load();
    load.valid = load.valid && pressure.valid;
    lines.push_back({0, 44, measured("G = %.0f кгс", "G", load)});
    lines.push_back({3, 53, measured("P = %.1f атм.", "P", pressure, kAtmosphere)});
    lines.push_back({100, 44, measured("I1 = %.1f A", "I1", drive.current(kUnit1))});
    lines.push_back({176, 44, measured("F1 = %.1f Гц", "F1", drive.frequency(kUnit1))});
    lines.push_back({100, 53, measured("I2 = %.1f A", "I2", drive.current(kUnit2))});
    lines.push_back({176, 53, measured("F2 = %.1f Гц", "F2", drive.frequency(kUnit2))});
    lines.push_back({2, 62, measured("T = %.1f °C", "T", drive.oilTemperature())});
    tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%d.%m.%Y %H:%M:%S", &local);
    lines.push_back({124, 63, stamp});
    return lines;
}
