#include "config/config_select.h"

#include "config/setting_change.h"
#include "core/journal.h"
#include "core/log.h"

namespace {

const char kUnit[] = "config";

} // namespace

ConfigSelect::ConfigSelect(std::string label, int32_t defaultIndex, bool autosave)
    : label(std::move(label)), defaultIndex(defaultIndex), current(defaultIndex), autosave(autosave) {}

int32_t ConfigSelect::set(int32_t index) {
    int32_t old = 0;
    if (!takeIndex(index, old))
        return current;
    reportSettingChange(this, static_cast<float>(index), static_cast<float>(old));
    saveAfterChange(autosave);
    return index;
}

int32_t ConfigSelect::assign(const ConfigSelect& other) {
    return set(other.current);
}

const std::string& ConfigSelect::optionText(int32_t index) const {
    static const std::string none;
    if (index < 0 || static_cast<size_t>(index) >= options.size())
        return none;
    return options[static_cast<size_t>(index)];
}

bool ConfigSelect::takeIndex(int32_t index, int32_t& old) {
    if (index < 0 || static_cast<size_t>(index) >= options.size()) {
        LOG_MSG(LOG_ERR, kUnit, "Попытка установить недопустимый вариант %d для настройки '%s'", index,
                label.c_str());
        return false;
    }
    if (index == current)
        return false;
    if (!quiet)
        journalPrintf(LOG_INFO, "Настройка '%s' изменена: '%s' --> '%s'", label.c_str(),
                      optionText(current).c_str(), optionText(index).c_str());
    old = current;
    current = index;
    return true;
}

YesNo::YesNo(std::string label, int32_t defaultIndex, bool autosave)
    : ConfigSelect(std::move(label), defaultIndex, autosave) {
    options = {"Да", "Нет"};
}

OnOff::OnOff(std::string label, int32_t defaultIndex, bool autosave)
    : ConfigSelect(std::move(label), defaultIndex, autosave) {
    options = {"Вкл.", "Откл."};
}

OnOffAuto::OnOffAuto(std::string label, int32_t defaultIndex, bool autosave)
    : ConfigSelect(std::move(label), defaultIndex, autosave) {
    options = {"Вкл.", "Откл.", "Авто"};
}
