#include "config/setting_change.h"

#include "config/config.h"
#include "core/registry.h"

void reportSettingChange(const void* setting, float newValue, float oldValue) {
    if (gConfig)
        gConfig->settingChanged(setting, newValue, oldValue);
}

void saveAfterChange(bool autosave) {
    if (autosave && gConfig)
        gConfig->save();
}
