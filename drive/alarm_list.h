#pragma once
// The active alarms of the drive: an ordered list by code that journals what is raised and cleared and
// tells its observers (the controller's status outputs, the panel page) after every change.

#include "drive/alarm_catalogue.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

class AlarmListObserver {
public:
    virtual ~AlarmListObserver() = default;
    virtual void alarmsChanged() = 0;
};

class AlarmList {
public:
    // Adds the record unless its code is active: journalled, observers told. True when added.
    bool add(const AlarmRecord& record);
    // Removes the code: journalled, observers told. True when it was active.
    bool remove(int32_t code);
    // Replaces the text of an active code when it differs; logged, observers told. True when replaced.
    bool changeText(int32_t code, const std::string& text);
    // Empties the list without journalling.
    void reset();

    bool contains(int32_t code) const { return alarms_.count(code) != 0; }
    size_t count() const { return alarms_.size(); }
    const std::map<int32_t, AlarmRecord>& entries() const { return alarms_; }
    // The lowest active code's record, or nullptr.
    const AlarmRecord* first() const;
    // The first alarm's text, or "Нет аварий".
    std::string currentText() const;
    // ("alarm" + code, text) in code order, for the web API.
    std::vector<std::pair<std::string, std::string>> webEntries() const;
    // Set while any of the sensor-fault codes is active.
    bool sensorFault() const { return sensorFault_; }

    // Observers are told in the order they were added; watching does not change the list.
    void addObserver(AlarmListObserver* observer) const;
    void removeObserver(AlarmListObserver* observer) const;
    // Tells the observers, also when what they show depends on more than the list (the mode changed).
    void notify() const;

private:
    void updateSensorFault();

    std::map<int32_t, AlarmRecord> alarms_;
    bool sensorFault_ = false;
    mutable std::vector<AlarmListObserver*> observers_;
};
