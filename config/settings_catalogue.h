#pragma once
// The catalogue of every setting: file key, label, kind, default, range or options, how the settings
// menu edits it and its web API name. Config builds its settings from it; the file code, the Modbus
// map, the web API and the settings menu walk it.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <variant>
#include <vector>

class Config;
struct ConfigFloat;
struct ConfigString;
class ConfigSelect;
class ConfigFlagsGroup;

enum class SettingKind {
    Number,     // ConfigFloat
    Text,       // ConfigString
    Select,     // ConfigSelect with the options of its row
    YesNo,      // the options of the kind
    OnOff,      //
    OnOffAuto,  //
    TimeZone,   // ConfigTimeZone
    FlagsGroup, // ConfigFlagsGroup
    PlainText,  // a text that is no setting object (the thermometer id): no label, no setter
};

// One flag of a flags group.
struct FlagInfo {
    const char* name;
    bool defaultOn;
};

// The kind of a setting with its factory value and its bounds.
struct SettingValueRule {
    SettingKind kind;
    double defaultValue; // a number, or a select's index
    float minValue;
    float maxValue;
    uint64_t defaultMask; // a flags group's
    const FlagInfo* flags;
    size_t flagCount;
};

// How the settings menu edits a setting.
enum class PanelEditor { None, Number, List, Text, CheckBoxes };

struct PanelEdit {
    PanelEditor editor;
    int decimals;
    // Shown instead of the number when the value is specialValue; nullptr when there is none.
    const char* specialText;
    float specialValue;
};

// A pointer to one setting of a Config, by kind: selects of every kind (the time zone too) are
// ConfigSelect, whose set is virtual; the thermometer id is a plain text.
using SettingPtr = std::variant<ConfigFloat*, ConfigString*, ConfigSelect*, ConfigFlagsGroup*, std::string*>;

struct SettingInfo {
    const char* key;   // element name in its group (or under the root of the performance file)
    const char* label; // nullptr for the plain thermometer id
    SettingValueRule value;
    std::initializer_list<const char*> options; // a ConfigSelect's options in index order
    PanelEdit panel;
    const char* webName; // nullptr: not in the web API
    SettingPtr (*member)(Config& config);
};

enum class SettingStore { MainFile, NotStored, PerformanceFile };

struct SettingGroup {
    const char* name; // group element of the main file; nullptr for the other stores
    SettingStore store;
    const SettingInfo* rows;
    size_t count;

    const SettingInfo* begin() const { return rows; }
    const SettingInfo* end() const { return rows + count; }
};

// The accessor of one member of Config; the catalogue rows and the Modbus register map name their
// settings with it, so a row of either can be matched to the other.
template <auto Member> SettingPtr settingMember(Config& config) {
    return &(config.*Member);
}

// Every group in catalogue order: the nine groups of the main file in file order, then the settings
// that are never stored, then the settings of the performance file.
const std::vector<SettingGroup>& settingGroups();
