#pragma once
// "parameters" and "setParameter" on the settings of a Config, by their web names.

#include "web/json_value.h"

#include <string>

class Config;

// One member per setting with a web name: texts as strings, numbers as their value, selects as their
// index, the flags group as its mask.
void settingsToJson(Config& config, JsonValue& parameters);
// Sets the setting of that web name through its setter (numbers rounded to single precision, indices
// truncated toward zero); false with "error" "unknown parameter" when there is none.
bool setSettingByWebName(Config& config, const std::string& webName, const JsonValue& value,
                         JsonValue& response);
