#include "config/config_flags_group.h"

#include "config/setting_change.h"
#include "core/journal.h"
#include "core/log.h"

namespace {

const char kUnit[] = "config";

const char* stateText(bool on) {
    return on ? "вкл" : "выкл";
}

} // namespace

ConfigFlagsGroup::ConfigFlagsGroup(std::string label, uint64_t mask, bool autosave)
    : ConfigSelect(std::move(label), 0, autosave), mask(mask) {}

void ConfigFlagsGroup::setFlag(unsigned flag, bool on) {
    if (flag >= options.size() || flag >= kMaxFlags) {
        LOG_MSG(LOG_ERR, kUnit, "%s: попытка установки несуществующего флага %d", label.c_str(), flag);
        return;
    }
    if (isOn(flag) == on)
        return;
    if (!quiet)
        journalPrintf(LOG_INFO, "Опция '%s' настройки '%s' изменена: '%s' --> '%s'", options[flag].c_str(),
                      label.c_str(), stateText(!on), stateText(on));
    mask ^= uint64_t{1} << flag;
    reportSettingChange(this, 0, 0);
    saveAfterChange(autosave);
}

void ConfigFlagsGroup::setAll(uint64_t newMask) {
    if (newMask == mask)
        return;
    if (!quiet)
        journalPrintf(LOG_INFO, "Набор опций настройки '%s' изменен: 0x%llx --> 0x%llx", label.c_str(),
                      static_cast<unsigned long long>(mask), static_cast<unsigned long long>(newMask));
    mask = newMask;
    reportSettingChange(this, 0, 0);
    saveAfterChange(autosave);
}
