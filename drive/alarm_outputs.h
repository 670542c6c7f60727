#pragma once
// The outputs that follow the alarm list and НУ1's mode: the status outputs with the panel's blank
// pattern, and the work-control relays 17 and 18 that the workControl flags tie to alarms and modes.

#include "drive/alarm_list.h"

#include <cstdint>
#include <functional>

class AlarmOutputs : private AlarmListObserver {
public:
    struct Hooks {
        std::function<int()> mode; // НУ1's mode switch
        std::function<void(int output, bool on)> setOutput;
        std::function<void(bool blank)> blank; // every lamp of the panel blinks
    };
    // Watches the list (the status outputs follow every change) until destroyed.
    AlarmOutputs(const AlarmList& alarms, Hooks hooks);
    ~AlarmOutputs() override;
    AlarmOutputs(const AlarmOutputs&) = delete;
    AlarmOutputs& operator=(const AlarmOutputs&) = delete;

    // The relays after an alarm was added to or removed from the list.
    void alarmRaised(int32_t code);
    void alarmCleared(int32_t code);
    // The relays from the mode and the whole list.
    void recomputeRelays();

private:
    void alarmsChanged() override;
    bool relayBitSet(int32_t code) const;
    bool tripReasonRemains(int32_t exceptCode) const;

    const AlarmList& alarms_;
    Hooks hooks_;
};
