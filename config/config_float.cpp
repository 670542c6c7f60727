#include "config/config_float.h"

#include "config/setting_change.h"
#include "core/journal.h"

#include <syslog.h>

float ConfigFloat::set(float requested) {
    float clamped = requested >= minValue ? requested : minValue;
    if (clamped > maxValue)
        clamped = maxValue;
    if (clamped == value)
        return clamped;
    float old = value;
    journalPrintf(LOG_INFO, "Настройка '%s' изменена: %.2f --> %.2f", label.c_str(), old, clamped);
    value = clamped;
    reportSettingChange(this, clamped, old);
    saveAfterChange(autosave);
    return clamped;
}
