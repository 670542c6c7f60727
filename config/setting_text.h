#pragma once
// A setting's value as the text of its element in a configuration file, and back.

#include "config/settings_catalogue.h"

#include <string>

struct SettingEntry;

// Numbers like printf's %g, selects as their index, flags groups as the decimal mask, the time zone
// as its TZ string, texts as they are.
std::string settingFileText(const SettingEntry& entry);

// Stores a value read from a file straight into the setting, without its setter, so unclamped and
// unjournalled: numbers by strtof, selects by strtol with base 0, texts as they are. Flags groups
// take the mask (strtoull, base 0) through setAll. Not for the time zone, which is matched by name.
void loadSettingFileText(const SettingEntry& entry, const std::string& text);
