#pragma once
// A setting's value as the text of its element in a configuration file, and back.

#include "config/settings_catalogue.h"

#include <string>

struct SettingEntry;

// The shortest text that reads back as exactly this number ("82.47", "0.09", "20000", "19999.99"), so
// a value survives any number of saves and loads unchanged.
std::string shortestNumberText(float number);

// Numbers in their shortest text, selects as their index, flags groups as the decimal mask, the time zone
// as its TZ string, texts as they are.
std::string settingFileText(const SettingEntry& entry);

// Stores a value read from a file straight into the setting, without its setter, so unjournalled, but
// under the setter's rules (each correction logged as a warning): numbers by strtof, clamped into
// their range, the default for what is no finite number; selects by strtol with base 0, the default
// for an index that is no option; texts the setter would take, else the default. Flags groups
// take the mask (strtoull, base 0) through setAll. Not for the time zone, which is matched by name.
void loadSettingFileText(const SettingEntry& entry, const std::string& text);
