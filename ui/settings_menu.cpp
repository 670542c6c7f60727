#include "ui/settings_menu.h"

#include "config/config.h"
#include "core/log.h"
#include "ui/date_time_edit.h"
#include "ui/edit_checkbox_group.h"
#include "ui/edit_radio.h"
#include "ui/edit_string.h"
#include "ui/service_items.h"
#include "ui/value_edit.h"

#include <initializer_list>

namespace {

const char kUnit[] = "mainScreen";

// What stands at one place of a submenu: a setting's editor (its catalogue row says which), or one of
// the fixed items.
enum class Entry {
    Setting,
    SerialNumber,
    Version,
    Restart,
    Reboot,
    ResetPP,
    FactoryReset,
    WriteVFD,
    ResetTermometer,
    DateTime,
};

struct Row {
    Entry entry;
    const char* group = nullptr; // catalogue group and key of a setting
    const char* key = nullptr;
};

Row setting(const char* group, const char* key) {
    return {Entry::Setting, group, key};
}

std::vector<Row> driveRows(const char* group) {
    std::vector<Row> rows;
    for (const char* key : {"minFreq", "maxFreq", "nomCurrentDrive", "accelTimeDrive", "decelTimeDrive",
                            "modbusAddr", "type", "controlType"})
        rows.push_back(setting(group, key));
    return rows;
}

// clang-format off
const std::vector<std::pair<const char*, std::vector<Row>>>& menuTable() {
    static const std::vector<std::pair<const char*, std::vector<Row>>> table = [] {
        std::vector<std::pair<const char*, std::vector<Row>>> submenus;
        submenus.push_back({"Общие настройки", {
            {Entry::SerialNumber}, {Entry::Version},
            setting("common", "wellName"), setting("common", "wellComment"), setting("common", "stopDrive"),
            setting("common", "apn"), setting("common", "pdpType"),
            {Entry::Restart}, {Entry::Reboot}}});
        submenus.push_back({"Настройки производительности", {
            setting("performance", "nsMode"), setting("performance", "nSwings"),
            setting("performance", "nsMin"), setting("performance", "nsMax")}});
        submenus.push_back({"Настройки интеллектуального режима", {
            setting("smartMode", "kNapol"), setting("smartMode", "lineBase"), setting("smartMode", "lineShift"),
            setting("smartMode", "absLineX"), setting("smartMode", "intersectionMode"),
            setting("smartMode", "nsCorrectionInterval"), setting("smartMode", "nsCorrMode")}});
        std::vector<Row> drive;
        for (const char* key : {"downTimeMax", "upTimeMax", "gMax", "gMin", "longDownTurn",
                                "longDownAsMalfunction", "numARA", "araDelay", "araReset", "tempCondOn",
                                "tempCondOff", "tempFanOn", "tempFanOff", "tempStopWork", "tempStartWork",
                                "coolingPump", "mainPumpFreq", "mainPumpMaxTime", "pu1Mode", "pu2Mode",
                                "prioPu1Pu2", "ev1Mode", "ev2Mode", "prioEv1Ev2", "canSepStart", "delayTDP",
                                "delayBDP", "delayEV1EV2", "perfIncMode", "posSensorMaxTime",
                                "downTimeOnBrokenSensor", "sensorResetDuration", "sensorResetPeriod",
                                "sensorResetOnLowOil", "wedgingEV", "workWithBrokenEV", "nsAlarmTempMode"})
            drive.push_back(setting("driveSettings", key));
        drive.push_back({Entry::ResetPP});
        drive.push_back({Entry::FactoryReset});
        submenus.push_back({"Технологические настройки привода", drive});
        std::vector<Row> drives = driveRows("drive1");
        for (const Row& row : driveRows("drive2"))
            drives.push_back(row);
        for (const char* key : {"minFreqSync", "lowerFreqOnOverload", "lowerFreqStep"})
            drives.push_back(setting("driveSettings", key));
        drives.push_back({Entry::WriteVFD});
        submenus.push_back({"Настройки ЧРП", drives});
        submenus.push_back({"Настройки динамографа и журнала", {
            {Entry::DateTime}, setting("misc", "timeZone"), setting("misc", "recordPeriod"),
            setting("misc", "cylinderArea"), setting("misc", "strokeLength"), setting("misc", "dynoRecordInPause"),
            setting("misc", "logLevel"), setting("misc", "timeIntAutoCopy"), setting("misc", "copyConfirmation"),
            setting("misc", "dynoType")}});
        std::vector<Row> inputs = {setting("common", "modbusAddress")};
        for (const char* key : {"modbusSpeed", "ecmInvertion", "delaySwingProtection", "workControl",
                                "oilSensorConnection", "oilSensorDelay", "oilSensorInvertion",
                                "magSensorConnection", "topSensorType", "botSensorType", "topSensorInversion",
                                "botSensorInversion", "ev1Inversion", "ev2Inversion",
                                "pressSensorMalfuncAutodetect", "pressureSmoothing"})
            inputs.push_back(setting("InputsOutputs", key));
        inputs.push_back({Entry::ResetTermometer});
        submenus.push_back({"Настройки входов/выходов", inputs});
        return submenus;
    }();
    return table;
}
// clang-format on

} // namespace

template <typename Item, typename... Arguments>
Item* SettingsMenu::make(VerticalMenu& parent, Arguments&&... arguments) {
    auto item = std::make_unique<Item>(std::forward<Arguments>(arguments)...);
    Item* raw = item.get();
    items_.push_back(std::move(item));
    parent.addMenuItem(raw);
    return raw;
}

SettingsMenu::SettingsMenu(Config& config, DriveCommands& drive, platform::SystemControl& system,
                           const std::string& serialNumber)
    : menu_(kTitle) {
    build(config, drive, system, serialNumber);
}

SettingsMenu::~SettingsMenu() {
    menu_.close();
    // Children first: each leaves its parent as it goes.
    while (!items_.empty())
        items_.pop_back();
}

void SettingsMenu::build(Config& config, DriveCommands& drive, platform::SystemControl& system,
                         const std::string& serialNumber) {
    for (const auto& [title, rows] : menuTable()) {
        VerticalMenu* submenu = make<VerticalMenu>(menu_, title);
        for (const Row& row : rows) {
            switch (row.entry) {
            case Entry::SerialNumber:
                make<ReadOnlyString>(*submenu, "Заводской номер контроллера", serialNumber);
                break;
            case Entry::Version:
                make<ReadOnlyString>(*submenu, "Версия velkor", kVersionText);
                break;
            case Entry::Restart:
                make<Restart>(*submenu, system);
                break;
            case Entry::Reboot:
                make<Reboot>(*submenu, system);
                break;
            case Entry::ResetPP:
                make<ResetPP>(*submenu, drive);
                break;
            case Entry::FactoryReset:
                make<FactoryReset>(*submenu, config);
                break;
            case Entry::WriteVFD:
                make<WriteVFD>(*submenu, drive);
                break;
            case Entry::ResetTermometer:
                make<ResetTermometer>(*submenu, drive, config);
                break;
            case Entry::DateTime:
                make<DateTimeEdit>(*submenu, system);
                break;
            case Entry::Setting:
                addEditor(*submenu, config, row.group, row.key);
                break;
            }
        }
    }
    logViewer_ = make<ReadOnlyString>(menu_, kLogViewerTitle, "");
}

void SettingsMenu::addEditor(VerticalMenu& submenu, Config& config, const char* group, const char* key) {
    const SettingEntry* entry = config.find(group, key);
    if (!entry) {
        LOG_MSG(LOG_ERR, kUnit, "no setting %s/%s for the settings menu", group, key);
        return;
    }
    const PanelEdit& panel = entry->info->panel;
    const SettingPtr& setting = entry->setting;
    switch (panel.editor) {
    case PanelEditor::Number:
        if (auto* number = std::get_if<ConfigFloat*>(&setting)) {
            ValueEdit::SpecialValues specials;
            if (panel.specialText)
                specials.emplace_back(panel.specialValue, panel.specialText);
            make<ValueEdit>(submenu, **number, panel.decimals, std::move(specials));
            return;
        }
        break;
    case PanelEditor::List:
        if (auto* select = std::get_if<ConfigSelect*>(&setting)) {
            make<EditRadio>(submenu, **select);
            return;
        }
        break;
    case PanelEditor::Text:
        if (auto* text = std::get_if<ConfigString*>(&setting)) {
            bool wellName = std::string(key) == "wellName";
            make<EditString>(submenu, **text,
                             wellName ? EditString::wellNameAlphabet() : EditString::defaultAlphabet());
            return;
        }
        break;
    case PanelEditor::CheckBoxes:
        if (auto* flags = std::get_if<ConfigFlagsGroup*>(&setting)) {
            make<EditCheckboxGroup>(submenu, **flags);
            return;
        }
        break;
    case PanelEditor::None:
        break;
    }
    LOG_MSG(LOG_ERR, kUnit, "the settings menu has no editor for %s/%s", group, key);
}

void SettingsMenu::setLogViewer(MenuItem* viewer) {
    if (!viewer)
        return;
    // The placeholder is the last item; the viewer takes its place.
    menu_.removeMenuItem(logViewer_);
    for (auto it = items_.begin(); it != items_.end(); ++it) {
        if (it->get() == logViewer_) {
            items_.erase(it);
            break;
        }
    }
    logViewer_ = viewer;
    menu_.addMenuItem(viewer);
}
