#include "drive/alarm_list.h"

#include "core/journal.h"
#include "core/log.h"

#include <algorithm>

namespace {

const char kUnit[] = "controller";

// Alarms that tell a sensor is not to be trusted; while one is active the sensors are power-cycled
// periodically.
constexpr int32_t kSensorFaultCodes[] = {
    kAlarmOilLevelSensorBreak,      kAlarmTopSensorShortStop,         kAlarmTopSensorBreakStop,
    kAlarmTopSensorTimeout,         kAlarmBottomSensorBreakStop,      kAlarmSimultaneousSensors,
    kAlarmBottomSensorTimeout,      kAlarmBottomSensorShortStop,      kAlarmTemperatureSensorError,
    kAlarmPressureSensorFault,      kAlarmSimultaneousSensorsIgnored, kAlarmBottomSensorTimeoutIgnored,
    kAlarmBottomSensorShortIgnored, kAlarmBottomSensorBreakIgnored,   kAlarmEmergencyTemperatureMode};

} // namespace

bool AlarmList::add(const AlarmRecord& record) {
    if (contains(record.code))
        return false;
    alarms_.emplace(record.code, record);
    journalPrintf(LOG_ERR, "Авария привода: %s", record.text.c_str());
    notify();
    updateSensorFault();
    return true;
}

bool AlarmList::remove(int32_t code) {
    auto it = alarms_.find(code);
    if (it == alarms_.end())
        return false;
    journalPrintf(LOG_ERR, "Снятие аварии: %s", it->second.text.c_str());
    alarms_.erase(it);
    notify();
    updateSensorFault();
    return true;
}

bool AlarmList::changeText(int32_t code, const std::string& text) {
    auto it = alarms_.find(code);
    if (it == alarms_.end() || it->second.text == text)
        return false;
    LOG_MSG(LOG_ERR, kUnit, "Изменен текст аварии: '%s' -> '%s'", it->second.text.c_str(), text.c_str());
    it->second.text = text;
    notify();
    return true;
}

void AlarmList::reset() {
    alarms_.clear();
    notify();
    sensorFault_ = false;
}

const AlarmRecord* AlarmList::first() const {
    return alarms_.empty() ? nullptr : &alarms_.begin()->second;
}

std::string AlarmList::currentText() const {
    const AlarmRecord* record = first();
    return record ? record->text : "Нет аварий";
}

std::vector<std::pair<std::string, std::string>> AlarmList::webEntries() const {
    std::vector<std::pair<std::string, std::string>> entries;
    for (const auto& [code, record] : alarms_)
        entries.emplace_back("alarm" + std::to_string(code), record.text);
    return entries;
}

void AlarmList::updateSensorFault() {
    sensorFault_ = std::any_of(std::begin(kSensorFaultCodes), std::end(kSensorFaultCodes),
                               [this](int32_t code) { return contains(code); });
}

void AlarmList::addObserver(AlarmListObserver* observer) const {
    observers_.push_back(observer);
}

void AlarmList::removeObserver(AlarmListObserver* observer) const {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void AlarmList::notify() const {
    // A copy: an observer may stop watching while it is told.
    std::vector<AlarmListObserver*> observers = observers_;
    for (AlarmListObserver* observer : observers)
        observer->alarmsChanged();
}
