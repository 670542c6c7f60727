#pragma once
// "Меню настроек": the eight submenus with an editor for the settings the panel edits, and the
// service actions, built once from one table in menu order. The editors write only through the
// settings' setters.

#include "ui/read_only_string.h"
#include "ui/vertical_menu.h"

#include <memory>
#include <string>
#include <vector>

class Config;
class DriveCommands;

namespace platform {
class SystemControl;
}

class SettingsMenu {
public:
    static constexpr const char* kTitle = "Меню настроек";
    static constexpr const char* kLogViewerTitle = "Просмотр журнала и динамограмм";
    // The version line: the product and its build number.
    static constexpr const char* kVersionText = "velkor 1.0-r743";

    SettingsMenu(Config& config, DriveCommands& drive, platform::SystemControl& system,
                 const std::string& serialNumber);
    ~SettingsMenu();
    SettingsMenu(const SettingsMenu&) = delete;
    SettingsMenu& operator=(const SettingsMenu&) = delete;

    VerticalMenu& menu() { return menu_; }
    // The log viewer takes the last place of the menu (a page saying so stands there until then).
    void setLogViewer(MenuItem* viewer);

private:
    void build(Config& config, DriveCommands& drive, platform::SystemControl& system,
               const std::string& serialNumber);
    void addEditor(VerticalMenu& submenu, Config& config, const char* group, const char* key);
    template <typename Item, typename... Arguments>
    Item* make(VerticalMenu& parent, Arguments&&... arguments);

    VerticalMenu menu_;
    // Submenus and their items, parents before children, so they go children first.
    std::vector<std::unique_ptr<MenuItem>> items_;
    MenuItem* logViewer_ = nullptr;
};
