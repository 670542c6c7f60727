// Loading the main and performance files into the settings of Config.

#include "config/config.h"
#include "config/setting_text.h"
#include "config/storable_text.h"
#include "core/log.h"
#include "platform/platform.h"
#include "platform/unique_fd.h"

#include <cctype>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char kUnit[] = "config";
// How much of a refused value a warning quotes.
constexpr int kQuotedChars = 40;

// The file, else its backup, else (both failures logged) a new document holding only the root; created
// tells which.
XmlDocument loadDocument(const std::string& path, const char* rootName, bool& created) {
    created = false;
    if (XmlDocument document = parseXmlFile(path))
        return document;
    std::string backup = path + ".bak";
    LOG_MSG(LOG_ERR, kUnit, "error opening %s, trying %s", path.c_str(), backup.c_str());
    if (XmlDocument document = parseXmlFile(backup))
        return document;
    LOG_MSG(LOG_ERR, kUnit, "error opening %s, creating default config", backup.c_str());
    created = true;
    return newXmlDocument(rootName);
}

// The first whitespace-delimited word of a short file; false when the file does not open.
bool readFirstWord(const std::string& path, std::string& word) {
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return false;
    char buffer[256];
    ssize_t length = ::read(fd.get(), buffer, sizeof buffer);
    std::string text(buffer, length > 0 ? static_cast<size_t>(length) : 0);
    size_t begin = 0;
    while (begin < text.size() && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    size_t end = begin;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])))
        ++end;
    word = text.substr(begin, end - begin);
    return true;
}

void writeLine(const std::string& path, const std::string& line) {
    platform::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    std::string text = line + "\n";
    if (fd && ::write(fd.get(), text.data(), text.size()) < 0) {
        // The id is in the main file as well; the thermometer reads it from there next time.
    }
}

// A minimum frequency above its drive's maximum would leave the working frequency no range to move in;
// the maximum is the motor's limit, so the minimum comes down to it, with one warning.
void keepMinimumWithinMaximum(ConfigFloat& minimum, const ConfigFloat& maximum, int drive) {
    if (minimum.value <= maximum.value)
        return;
    LOG_MSG(LOG_WARNING, kUnit, "'minFreq' of drive %d (%s) is above its 'maxFreq', using %s", drive,
            shortestNumberText(minimum.value).c_str(), shortestNumberText(maximum.value).c_str());
    minimum.value = maximum.value;
}

} // namespace

void Config::loadMainFile() {
    bool created = false;
    mainDoc_ = loadDocument(mainPath_, "config", created);
    mainRoot_ = xmlDocGetRootElement(mainDoc_.get());
    if (created)
        save();
    for (const SettingGroup& group : settingGroups())
        if (group.store == SettingStore::MainFile)
            loadMainGroup(group);
    keepMinimumWithinMaximum(minFreqDrive1, maxFreqDrive1, 1);
    keepMinimumWithinMaximum(minFreqDrive2, maxFreqDrive2, 2);
}

void Config::loadMainGroup(const SettingGroup& group) {
    xmlNode* groupElement = firstChildElement(mainRoot_, group.name);
    if (!groupElement) {
        LOG_MSG(LOG_WARNING, kUnit, "'%s' group not found, using default settings", group.name);
        if (strcmp(group.name, "manualMode") == 0) {
            manualFreqDrive1.set(midFrequency(minFreqDrive1, maxFreqDrive1));
            manualFreqDrive2.set(midFrequency(minFreqDrive2, maxFreqDrive2));
        }
        return;
    }
    for (const SettingEntry& entry : entries_)
        if (entry.group == &group)
            storeValue(entry, firstChildElement(groupElement, entry.info->key));
}

void Config::storeValue(const SettingEntry& entry, xmlNode* element) {
    switch (entry.info->value.kind) {
    case SettingKind::TimeZone:
        loadTimeZone(element ? elementText(element) : std::string());
        return;
    case SettingKind::PlainText:
        loadThermSensorId(element);
        return;
    default:
        if (element)
            loadSettingFileText(entry, elementText(element));
        return;
    }
}

void Config::loadTimeZone(const std::string& tz) {
    int32_t index = timeZoneIndex(tz);
    std::string applied = tz;
    if (index < 0) {
        LOG_MSG(LOG_WARNING, kUnit, "unknown timeZone value '%.*s', will use GMT", kQuotedChars, tz.c_str());
        index = kFallbackTimeZone;
        applied = timeZoneString(kFallbackTimeZone);
    }
    timeZone.set(index);
    applyTimeZone(applied.c_str());
}

// The id file wins over the main file; a missing file is created from the main file's id.
void Config::loadThermSensorId(xmlNode* element) {
    if (element) {
        std::string id = elementText(element);
        if (!id.empty() && isStorableText(id))
            thermSensorId = id;
    }
    std::string path = platform::rootPath("/etc/thermSensorId");
    std::string word;
    if (readFirstWord(path, word)) {
        if (!word.empty())
            thermSensorId = word;
        return;
    }
    if (!thermSensorId.empty())
        writeLine(path, thermSensorId);
}

void Config::loadPerfFile() {
    bool created = false;
    perfDoc_ = loadDocument(perfPath_, "perf_params", created);
    perfRoot_ = xmlDocGetRootElement(perfDoc_.get());
    if (created)
        savePerf();
    for (const SettingEntry& entry : entries_) {
        if (entry.group->store != SettingStore::PerformanceFile)
            continue;
        if (xmlNode* element = firstChildElement(perfRoot_, entry.info->key))
            loadSettingFileText(entry, elementText(element));
    }
}
