#pragma once
// What a supervising part of the drive may do about what it finds: raise, reword and clear alarms,
// stop the drive, and restart it once a stopping alarm has gone. The controller provides it.

#include "drive/alarm_catalogue.h"

#include <cstdint>
#include <string>

class SupervisionActions {
public:
    virtual ~SupervisionActions() = default;
    // True when added (the code was not active).
    virtual bool raiseAlarm(const AlarmRecord& record) = 0;
    // True when it was active.
    virtual bool clearAlarm(int32_t code) = 0;
    virtual void changeAlarmText(int32_t code, const std::string& text) = 0;
    virtual bool isAlarmActive(int32_t code) const = 0;
    // НУ1's mode switch is in automatic.
    virtual bool automatic() const = 0;
    // Both units stopped, both valves closed; closeRecords also writes the finished dynamograms.
    virtual void halt(bool closeRecords) = 0;
    // Clears the code and starts the drive when it was a stopping alarm and nothing else holds it.
    virtual bool clearAndRestart(int32_t code) = 0;
    virtual void restartAfterClearing(bool stoppingAlarmCleared) = 0;
};
