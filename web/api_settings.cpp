#include "web/api_settings.h"

#include "config/config.h"
#include "config/overloaded.h"

#include <cmath>

namespace {

int32_t truncatedIndex(double number) {
    if (!(number > -2147483649.0 && number < 2147483648.0))
        return -1; // refused by the setter as outside the options
    return static_cast<int32_t>(number);
}

uint64_t unsignedMask(double number) {
    if (!(number >= 0) || number >= 18446744073709551616.0)
        return 0;
    return static_cast<uint64_t>(number);
}

} // namespace

void settingsToJson(Config& config, JsonValue& parameters) {
    parameters.type = kJsonHash;
    for (const SettingEntry& entry : config.settings()) {
        if (!entry.info->webName)
            continue;
        JsonValue& member = parameters[entry.info->webName];
        std::visit(Overloaded{
                       [&](ConfigFloat* number) { member = static_cast<double>(number->value); },
                       [&](ConfigString* text) { member = text->value; },
                       [&](ConfigSelect* select) { member = static_cast<double>(select->current); },
                       [&](ConfigFlagsGroup* flags) { member = static_cast<double>(flags->mask); },
                       [&](std::string* text) { member = *text; },
                   },
                   entry.setting);
    }
}

bool setSettingByWebName(Config& config, const std::string& webName, const JsonValue& value,
                         JsonValue& response) {
    const SettingEntry* entry = config.findByWebName(webName);
    if (!entry) {
        response["error"] = "unknown parameter";
        return false;
    }
    std::visit(Overloaded{
                   [&](ConfigFloat* number) { number->set(static_cast<float>(value.number)); },
                   [&](ConfigString* text) { text->set(value.text); },
                   [&](ConfigSelect* select) { select->set(truncatedIndex(value.number)); },
                   [&](ConfigFlagsGroup* flags) { flags->setAll(unsignedMask(value.number)); },
                   [&](std::string*) {},
               },
               entry->setting);
    return true;
}
