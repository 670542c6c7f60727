// Writing the settings of Config into the main and performance documents and their files.

#include "config/backup_save.h"
#include "config/config.h"
#include "config/setting_text.h"

void Config::save() {
    if (saveBatches_ > 0) {
        mainUnsaved_ = true;
        return;
    }
    writeMainFile();
}

void Config::savePerf() {
    if (saveBatches_ > 0) {
        perfUnsaved_ = true;
        return;
    }
    writePerfFile();
}

Config::SaveBatch::SaveBatch(Config* config) : config_(config) {
    if (config_)
        ++config_->saveBatches_;
}

Config::SaveBatch::~SaveBatch() {
    if (!config_ || --config_->saveBatches_ > 0)
        return;
    if (config_->mainUnsaved_) {
        config_->mainUnsaved_ = false;
        config_->writeMainFile();
    }
    if (config_->perfUnsaved_) {
        config_->perfUnsaved_ = false;
        config_->writePerfFile();
    }
}

void Config::writeMainFile() {
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

void Config::writePerfFile() {
    for (const SettingEntry& entry : entries_)
        if (entry.group->store == SettingStore::PerformanceFile)
            replaceChildElements(perfRoot_, entry.info->key, settingFileText(entry));
    saveWithBackup(perfDoc_.get(), perfPath_);
}
