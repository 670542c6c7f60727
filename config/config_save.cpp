// Writing the settings of Config into the main and performance documents and their files.

#include "config/backup_save.h"
#include "config/config.h"
#include "config/setting_text.h"

void Config::save() {
    // Each key is written anew at the end of its group, so known keys stand in catalogue order and
    // unknown elements keep their place before them.
    const SettingGroup* group = nullptr;
    xmlNode* groupElement = nullptr;
    for (const SettingEntry& entry : entries_) {
        if (entry.group->store != SettingStore::MainFile)
            continue;
        if (entry.group != group) {
            group = entry.group;
            groupElement = childElementOrNew(mainRoot_, group->name);
        }
        replaceChildElements(groupElement, entry.info->key, settingFileText(entry));
    }
    saveWithBackup(mainDoc_.get(), mainPath_);
}

void Config::savePerf() {
    for (const SettingEntry& entry : entries_)
        if (entry.group->store == SettingStore::PerformanceFile)
            replaceChildElements(perfRoot_, entry.info->key, settingFileText(entry));
    saveWithBackup(perfDoc_.get(), perfPath_);
}
