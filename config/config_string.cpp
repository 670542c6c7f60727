#include "config/config_string.h"

#include "config/setting_change.h"
#include "core/journal.h"

#include <syslog.h>

void ConfigString::set(const std::string& text) {
    if (text == value)
        return;
    journalPrintf(LOG_INFO, "Настройка '%s' изменена: '%s' --> '%s'", label.c_str(), value.c_str(),
                  text.c_str());
    value = text;
    saveAfterChange(autosave);
}
