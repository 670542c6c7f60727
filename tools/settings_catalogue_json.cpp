// Writes the settings catalogue as the browser's settings page reads it (www/settings.json): every
// setting with a web name, grouped as the panel's settings menu groups them, with its label, kind,
// range, options and decimals. The build runs it, so the page cannot drift from the catalogue.
//
//     settings-catalogue-json > build/www/settings.json

#include "config/config_time_zone.h"
#include "config/settings_catalogue.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

// The settings menu's submenus by web name, in its order; the rest are the manual-mode screen's
// settings and the few the panel does not edit.
const struct {
    const char* title;
    std::vector<const char*> webNames;
} kMenus[] = {
    {"Общие настройки", {"wellName", "wellComment", "stopDrive", "apn", "pdpType"}},
    {"Настройки производительности", {"nsMode", "ns", "nsMin", "nsMax"}},
    {"Настройки интеллектуального режима",
     {"kNapol", "lineBase", "lineShift", "absLineX", "interMode", "nsCorrInterval", "nsCorrMode"}},
    {"Технологические настройки привода",
     {"downTimeMax",
      "upTimeMax",
      "gMax",
      "gMin",
      "longDownTurn",
      "longDownAsMalfunction",
      "numARA",
      "araDelay",
      "araReset",
      "tCondOn",
      "tCondOff",
      "tFanOn",
      "tFanOff",
      "tStopWork",
      "tStartWork",
      "coolingPump",
      "mainPumpFreq",
      "mainPumpMaxTime",
      "pu1Mode",
      "pu2Mode",
      "prioPu1Pu2",
      "ev1Mode",
      "ev2Mode",
      "prioEv1Ev2",
      "canSepStart",
      "delayTDP",
      "delayBDP",
      "delayEV1EV2",
      "perfIncMode",
      "posSensorMaxTime",
      "downTimeOnBrokenSensor",
      "sensorResetDuration",
      "sensorResetPeriod",
      "sensorResetOnLowOil",
      "wedgingEV",
      "workWithBrokenEV",
      "nsAlarmTempMode"}},
    {"Настройки ЧРП",
     {"minFreqDrive1", "maxFreqDrive1", "nomCurrentDrive1", "accelTimeDrive1", "decelTimeDrive1",
      "modbusAddrDrive1", "typeDrive1", "controlTypeDrive1", "minFreqDrive2", "maxFreqDrive2",
      "nomCurrentDrive2", "accelTimeDrive2", "decelTimeDrive2", "modbusAddrDrive2", "typeDrive2",
      "controlTypeDrive2", "minFreqSync", "lowerFreqOnOverload", "lowerFreqStep"}},
    {"Настройки динамографа и журнала",
     {"timeZone", "recordPeriod", "cylinderArea", "strokeLength", "dynoRecordInPause", "logLevel",
      "timeIntAutoCopy", "copyConfirmation", "dynoType"}},
    {"Настройки входов/выходов",
     {"modbusAddress", "modbusSpeed", "ecmInvertion", "delaySwingProtection", "workControl",
      "oilSensorConnection", "oilSensorDelay", "oilSensorInvertion", "magSensorConnection", "topSensorType",
      "botSensorType", "topSensorInversion", "botSensorInversion", "ev1Inversion", "ev2Inversion",
      "pressSensorMalfuncAutodetect", "pressureSmoothing"}},
};
const char kOtherMenu[] = "Прочие настройки";

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", value);
    return text;
}

std::string list(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
        out += (i ? "," : "") + quoted(items[i]);
    return out + "]";
}

std::vector<std::string> optionsOf(const SettingInfo& row) {
    switch (row.value.kind) {
    case SettingKind::YesNo:
        return {"Да", "Нет"};
    case SettingKind::OnOff:
        return {"Вкл.", "Откл."};
    case SettingKind::OnOffAuto:
        return {"Вкл.", "Откл.", "Авто"};
    case SettingKind::TimeZone: {
        std::vector<std::string> zones;
        for (int32_t i = 0; i < kTimeZoneCount; ++i)
            zones.push_back(timeZoneString(i));
        return zones;
    }
    case SettingKind::FlagsGroup: {
        std::vector<std::string> flags;
        for (size_t i = 0; i < row.value.flagCount; ++i)
            flags.push_back(row.value.flags[i].name);
        return flags;
    }
    default:
        return {row.options.begin(), row.options.end()};
    }
}

const char* kindName(SettingKind kind) {
    switch (kind) {
    case SettingKind::Number:
        return "number";
    case SettingKind::Text:
        return "text";
    case SettingKind::FlagsGroup:
        return "flags";
    default:
        return "select";
    }
}

std::string describe(const SettingInfo& row) {
    std::string out = "{\"name\":" + quoted(row.webName) +
                      ",\"label\":" + quoted(row.label ? row.label : "") +
                      ",\"kind\":" + quoted(kindName(row.value.kind));
    if (row.value.kind == SettingKind::Number) {
        out += ",\"min\":" + number(row.value.minValue) + ",\"max\":" + number(row.value.maxValue) +
               ",\"decimals\":" +
               std::to_string(row.panel.editor == PanelEditor::Number ? row.panel.decimals : 2);
        if (row.panel.specialText)
            out += ",\"specialText\":" + quoted(row.panel.specialText) +
                   ",\"specialValue\":" + number(row.panel.specialValue);
    }
    if (row.value.kind != SettingKind::Number && row.value.kind != SettingKind::Text)
        out += ",\"options\":" + list(optionsOf(row));
    return out + "}";
}

} // namespace

int main() {
    std::map<std::string, std::string> byWebName;
    std::vector<std::string> catalogueOrder;
    for (const SettingGroup& group : settingGroups())
        for (const SettingInfo& row : group)
            if (row.webName && row.label) {
                byWebName[row.webName] = describe(row);
                catalogueOrder.push_back(row.webName);
            }
    std::map<std::string, bool> placed;
    std::printf("{\"groups\":[");
    bool firstGroup = true;
    auto printGroup = [&](const char* title, const std::vector<std::string>& names) {
        std::printf("%s{\"title\":%s,\"settings\":[", firstGroup ? "" : ",", quoted(title).c_str());
        firstGroup = false;
        bool first = true;
        for (const std::string& name : names) {
            auto found = byWebName.find(name);
            if (found == byWebName.end() || placed[name])
                continue;
            placed[name] = true;
            std::printf("%s%s", first ? "" : ",", found->second.c_str());
            first = false;
        }
        std::printf("]}");
    };
    for (const auto& menu : kMenus)
        printGroup(menu.title, {menu.webNames.begin(), menu.webNames.end()});
    std::vector<std::string> rest;
    for (const std::string& name : catalogueOrder)
        if (!placed[name])
            rest.push_back(name);
    printGroup(kOtherMenu, rest);
    std::printf("]}\n");
    return 0;
}
