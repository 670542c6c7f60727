#pragma once
// A SupervisionActions that keeps the active alarms and counts the stops and restarts, for the tests
// of the supervising parts on their own.

#include "drive/supervision_actions.h"

#include <map>
#include <string>

class FakeSupervision : public SupervisionActions {
public:
    bool raiseAlarm(const AlarmRecord& record) override {
        return active.emplace(record.code, record.text).second;
    }
    bool clearAlarm(int32_t code) override { return active.erase(code) != 0; }
    void changeAlarmText(int32_t code, const std::string& text) override {
        if (active.count(code))
            active[code] = text;
    }
    bool isAlarmActive(int32_t code) const override { return active.count(code) != 0; }
    bool automatic() const override { return automaticMode; }
    void halt(bool) override { ++halts; }
    bool clearAndRestart(int32_t code) override {
        bool cleared = clearAlarm(code);
        restartAfterClearing(cleared && alarmStopsTheDrive(code));
        return cleared;
    }
    void restartAfterClearing(bool stoppingAlarmCleared) override {
        restarts += stoppingAlarmCleared ? 1 : 0;
    }

    std::map<int32_t, std::string> active;
    bool automaticMode = true;
    int halts = 0;
    int restarts = 0;
};
