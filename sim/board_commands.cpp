// Control commands of the simulated board's inputs and of the settings:
//   setting NAME VALUE     a setting by its web name, through its setter
//   controller             the stroke state and the current alarm, "ok state=2 mode=2 alarm=..."
//   alarms                 the active alarm codes, "ok 16 40"

#include "config/config.h"
#include "core/registry.h"
#include "daemon/registry.h"
#include "drive/alarm_list.h"
#include "drive/drive_view.h"
#include "sim/sim_session.h"

#include <cstdlib>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace {

using Arguments = std::vector<std::string>;

std::string setSetting(const Arguments& arguments) {
    if (arguments.size() != 2)
        return "error usage: setting NAME VALUE";
    const SettingEntry* entry = gConfig ? gConfig->findByWebName(arguments[0]) : nullptr;
    if (!entry)
        return "error unknown setting " + arguments[0];
    const std::string& text = arguments[1];
    std::visit(
        [&text](auto* setting) {
            using T = std::remove_pointer_t<decltype(setting)>;
            if constexpr (std::is_same_v<T, ConfigFloat>)
                setting->set(std::strtof(text.c_str(), nullptr));
            else if constexpr (std::is_same_v<T, ConfigFlagsGroup>)
                setting->setAll(std::strtoull(text.c_str(), nullptr, 0));
            else if constexpr (std::is_same_v<T, ConfigSelect>)
                setting->set(static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10)));
            else if constexpr (std::is_same_v<T, ConfigString>)
                setting->set(text);
        },
        entry->setting);
    return "ok";
}

std::string controllerState() {
    if (!gDriveView)
        return "error no controller";
    return "ok state=" + std::to_string(gDriveView->strokeState()) +
           " mode=" + std::to_string(gDriveView->modeSwitch(1)) + " alarm=" + gDriveView->currentAlarmText();
}

std::string activeAlarms() {
    if (!gDriveView)
        return "error no controller";
    std::string text = "ok";
    for (const auto& entry : gDriveView->alarms().entries())
        text += " " + std::to_string(entry.first);
    return text;
}

} // namespace

void addBoardCommands(ControlServer& control) {
    control.addCommand("setting", [](const Arguments& arguments) { return setSetting(arguments); });
    control.addCommand("controller", [](const Arguments&) { return controllerState(); });
    control.addCommand("alarms", [](const Arguments&) { return activeAlarms(); });
}
