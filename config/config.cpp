#include "config/config.h"

#include "config/overloaded.h"
#include "core/log.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <libxml/parser.h>
#include <unistd.h>

Config* gConfig = nullptr;

namespace {

const char kUnit[] = "config";

// Gives a setting its label, default, bounds and options from its catalogue row.
void initialise(const SettingInfo& info, bool autosave, const SettingPtr& setting) {
    std::visit(Overloaded{
                   [&](ConfigFloat* number) {
                       number->label = info.label;
                       number->defaultValue = static_cast<float>(info.value.defaultValue);
                       number->value = number->defaultValue;
                       number->minValue = info.value.minValue;
                       number->maxValue = info.value.maxValue;
                       number->autosave = autosave;
                   },
                   [&](ConfigString* text) {
                       text->label = info.label;
                       text->autosave = autosave;
                   },
                   [&](ConfigSelect* select) {
                       select->label = info.label;
                       select->defaultIndex = static_cast<int32_t>(info.value.defaultValue);
                       select->current = select->defaultIndex;
                       select->options.insert(select->options.end(), info.options.begin(),
                                              info.options.end());
                       select->autosave = autosave;
                   },
                   [&](ConfigFlagsGroup* flags) {
                       flags->label = info.label;
                       flags->mask = info.value.defaultMask;
                       for (size_t i = 0; i < info.value.flagCount; ++i)
                           flags->options.push_back(info.value.flags[i].name);
                       flags->autosave = autosave;
                   },
                   [](std::string*) {},
               },
               setting);
}

void resetToDefault(const SettingPtr& setting) {
    std::visit(Overloaded{
                   [](ConfigFloat* number) { number->set(number->defaultValue); },
                   [](ConfigString* text) { text->set(text->defaultValue); },
                   [](ConfigSelect* select) { select->set(select->defaultIndex); },
                   // Only the unused select index: the mask stays.
                   [](ConfigFlagsGroup* flags) { flags->set(flags->defaultIndex); },
                   [](std::string*) {},
               },
               setting);
}

const void* address(const SettingEntry* entry) {
    return std::visit([](auto* setting) { return static_cast<const void*>(setting); }, entry->setting);
}

} // namespace

Config::Config(std::string mainPath, std::string perfPath)
    : mainPath_(std::move(mainPath)), perfPath_(std::move(perfPath)) {
    buildSettings();
    xmlCheckVersion(20904);
    xmlInitParser();
    xmlIndentTreeOutput = 1;
    loadMainFile();
    loadPerfFile();
}

Config::~Config() {
    mainDoc_.reset();
    perfDoc_.reset();
    xmlCleanupParser();
}

void Config::buildSettings() {
    for (const SettingGroup& group : settingGroups()) {
        for (const SettingInfo& info : group) {
            SettingEntry entry{&info, &group, info.member(*this)};
            initialise(info, group.store == SettingStore::MainFile, entry.setting);
            entries_.push_back(entry);
        }
    }
    // Later members of one access section lie at higher addresses, so sorting by address gives the
    // declaration order of the members.
    for (const SettingEntry& entry : entries_)
        if (entry.group->store != SettingStore::PerformanceFile &&
            entry.info->value.kind != SettingKind::PlainText)
            memberOrder_.push_back(&entry);
    std::sort(memberOrder_.begin(), memberOrder_.end(), [](const SettingEntry* a, const SettingEntry* b) {
        return std::less<const void*>()(address(a), address(b));
    });
}

const SettingEntry* Config::find(const char* group, const char* key) const {
    for (const SettingEntry& entry : entries_) {
        const char* name = entry.group->name;
        bool inGroup = group ? name && strcmp(name, group) == 0 : name == nullptr;
        if (inGroup && strcmp(entry.info->key, key) == 0)
            return &entry;
    }
    return nullptr;
}

const SettingEntry* Config::findByWebName(const std::string& webName) const {
    for (const SettingEntry& entry : entries_)
        if (entry.info->webName && webName == entry.info->webName)
            return &entry;
    return nullptr;
}

float Config::midFrequency(const ConfigFloat& minimum, const ConfigFloat& maximum) {
    return (minimum.value + maximum.value) * 0.5f;
}

void Config::settingChanged(const void* setting, float newValue, float oldValue) {
    if (hook_)
        hook_(setting, newValue, oldValue);
}

void Config::factoryReset() {
    LOG_MSG(LOG_INFO, kUnit, "Сброс к заводским настройкам");
    for (const SettingEntry* entry : memberOrder_)
        resetToDefault(entry->setting);
}

void Config::resetPerf() {
    // A save noted by an open batch was of the document being dropped; the file stays deleted.
    perfUnsaved_ = false;
    ::unlink(perfPath_.c_str());
    ::unlink((perfPath_ + ".bak").c_str());
    perfDoc_ = newXmlDocument("perf_params");
    perfRoot_ = xmlDocGetRootElement(perfDoc_.get());
    selectedDrive1.set(0);
    selectedDrive2.set(0);
    selectedValve1.set(0);
    selectedValve2.set(0);
    freqDrive1.set(std::trunc(midFrequency(minFreqDrive1, maxFreqDrive1) + 0.5f));
    freqDrive2.set(std::trunc(midFrequency(minFreqDrive2, maxFreqDrive2) + 0.5f));
}
