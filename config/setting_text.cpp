#include "config/setting_text.h"

#include "config/config.h"
#include "config/overloaded.h"
#include "core/log.h"

#include <cmath>
#include <cstdlib>

namespace {

const char kUnit[] = "config";

// A text without a leading number reads as 0, and so does one that is no finite number ("nan",
// "inf", "1e99"): nothing downstream could use it.
float numberFromText(const std::string& text) {
    float number = std::strtof(text.c_str(), nullptr);
    return std::isfinite(number) ? number : 0;
}

// An index outside the options would be shown and journalled as an option that does not exist; the
// setting keeps its default instead.
void loadSelectIndex(const SettingEntry& entry, ConfigSelect& select, const std::string& text) {
    long index = std::strtol(text.c_str(), nullptr, 0);
    if (index < 0 || static_cast<unsigned long>(index) >= select.options.size()) {
        LOG_MSG(LOG_WARNING, kUnit, "'%s' value '%s' is out of range, using default", entry.info->key,
                text.c_str());
        return;
    }
    select.current = static_cast<int32_t>(index);
}

} // namespace

std::string settingFileText(const SettingEntry& entry) {
    if (entry.info->value.kind == SettingKind::TimeZone) {
        const char* tz = timeZoneString(std::get<ConfigSelect*>(entry.setting)->current);
        return tz ? tz : timeZoneString(kFallbackTimeZone);
    }
    return std::visit(
        Overloaded{
            [](ConfigFloat* number) { return formatText("%g", static_cast<double>(number->value)); },
            [](ConfigString* text) { return text->value; },
            [](ConfigSelect* select) { return std::to_string(select->current); },
            [](ConfigFlagsGroup* flags) {
                return formatText("%llu", static_cast<unsigned long long>(flags->mask));
            },
            [](std::string* text) { return *text; },
        },
        entry.setting);
}

void loadSettingFileText(const SettingEntry& entry, const std::string& text) {
    std::visit(Overloaded{
                   [&](ConfigFloat* number) { number->value = numberFromText(text); },
                   [&](ConfigString* string) { string->value = text; },
                   [&](ConfigSelect* select) { loadSelectIndex(entry, *select, text); },
                   [&](ConfigFlagsGroup* flags) { flags->setAll(std::strtoull(text.c_str(), nullptr, 0)); },
                   [&](std::string* plain) { *plain = text; },
               },
               entry.setting);
}
