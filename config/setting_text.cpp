#include "config/setting_text.h"

#include "config/config.h"
#include "config/overloaded.h"
#include "config/storable_text.h"
#include "core/log.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

const char kUnit[] = "config";

// How much of a refused value a warning quotes.
constexpr int kQuotedChars = 40;

// A number read from a file obeys the setter's range, so nothing downstream sees a value the setters
// would never give (an address no master can use, a delay beyond any integer). A text that is no
// finite number ("abc", "nan", "inf", "1e99") takes the default; a number outside the range is
// clamped into it. Each correction is one warning. The default itself stands, even where it lies
// outside the range (the learnt frequencies' -1).
void loadNumber(const SettingEntry& entry, ConfigFloat& number, const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    float read = std::strtof(begin, &end);
    if (end == begin || !std::isfinite(read)) {
        LOG_MSG(LOG_WARNING, kUnit, "'%s' value '%.*s' is not a number, using default %s", entry.info->key,
                kQuotedChars, text.c_str(), shortestNumberText(number.defaultValue).c_str());
        number.value = number.defaultValue;
        return;
    }
    if (read == number.defaultValue || (read >= number.minValue && read <= number.maxValue)) {
        number.value = read;
        return;
    }
    float clamped = read < number.minValue ? number.minValue : number.maxValue;
    LOG_MSG(LOG_WARNING, kUnit, "'%s' value '%.*s' is out of range, using %s", entry.info->key, kQuotedChars,
            text.c_str(), shortestNumberText(clamped).c_str());
    number.value = clamped;
}

// A text the setter would refuse (a control character, not UTF-8, too long) takes the default.
void loadText(const SettingEntry& entry, ConfigString& string, const std::string& text) {
    if (!isStorableText(text)) {
        LOG_MSG(LOG_WARNING, kUnit,
                "'%s' value is not UTF-8, holds a control character or is too long, using default",
                entry.info->key);
        string.value = string.defaultValue;
        return;
    }
    string.value = text;
}

// A whole number read from a file: false for a text that does not start with one ("abc", "nan") or
// does not fit.
bool readWholeNumber(const std::string& text, long long& number) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    number = std::strtoll(begin, &end, 0);
    return end != begin && errno != ERANGE;
}

bool readMask(const std::string& text, unsigned long long& mask) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    mask = std::strtoull(begin, &end, 0);
    return end != begin && errno != ERANGE;
}

// An index outside the options would be shown and journalled as an option that does not exist; the
// setting keeps its default instead, as it does for a text that is no number.
void loadSelectIndex(const SettingEntry& entry, ConfigSelect& select, const std::string& text) {
    long long index = -1;
    if (!readWholeNumber(text, index)) {
        LOG_MSG(LOG_WARNING, kUnit, "'%s' value '%.*s' is not a number, using default", entry.info->key,
                kQuotedChars, text.c_str());
        select.current = select.defaultIndex;
        return;
    }
    if (index < 0 || static_cast<unsigned long long>(index) >= select.options.size()) {
        LOG_MSG(LOG_WARNING, kUnit, "'%s' value '%.*s' is out of range, using default", entry.info->key,
                kQuotedChars, text.c_str());
        select.current = select.defaultIndex;
        return;
    }
    select.current = static_cast<int32_t>(index);
}

// A flag mask that is no number keeps the default mask rather than switching every flag off.
void loadFlags(const SettingEntry& entry, ConfigFlagsGroup& flags, const std::string& text) {
    unsigned long long mask = 0;
    if (!readMask(text, mask)) {
        LOG_MSG(LOG_WARNING, kUnit, "'%s' value '%.*s' is not a number, using default", entry.info->key,
                kQuotedChars, text.c_str());
        return;
    }
    flags.setAll(mask);
}

} // namespace

std::string shortestNumberText(float number) {
    char text[32];
    std::to_chars_result result = std::to_chars(text, text + sizeof text, number);
    return std::string(text, result.ptr);
}

std::string settingFileText(const SettingEntry& entry) {
    if (entry.info->value.kind == SettingKind::TimeZone) {
        const char* tz = timeZoneString(std::get<ConfigSelect*>(entry.setting)->current);
        return tz ? tz : timeZoneString(kFallbackTimeZone);
    }
    return std::visit(Overloaded{
                          [](ConfigFloat* number) { return shortestNumberText(number->value); },
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
                   [&](ConfigFloat* number) { loadNumber(entry, *number, text); },
                   [&](ConfigString* string) { loadText(entry, *string, text); },
                   [&](ConfigSelect* select) { loadSelectIndex(entry, *select, text); },
                   [&](ConfigFlagsGroup* flags) { loadFlags(entry, *flags, text); },
                   [&](std::string* plain) { *plain = text; },
               },
               entry.setting);
}
