#include "config/config_string.h"

#include "config/setting_change.h"
#include "config/storable_text.h"
#include "core/journal.h"
#include "core/log.h"

#include <syslog.h>

namespace {

const char kUnit[] = "config";

} // namespace

void ConfigString::set(const std::string& text) {
    if (text == value)
        return;
    // Stored as is, such a text would leave a file that does not load, and the next start would fall
    // back to the backup or the defaults.
    if (!isStorableText(text)) {
        LOG_MSG(LOG_ERR, kUnit, "refusing text for setting '%s': not UTF-8 or holds a control character",
                label.c_str());
        return;
    }
    journalPrintf(LOG_INFO, "Настройка '%s' изменена: '%s' --> '%s'", label.c_str(), value.c_str(),
                  text.c_str());
    value = text;
    saveAfterChange(autosave);
}
