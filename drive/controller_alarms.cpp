// Raising and clearing alarms: the list, the periodic sensor reset it arms, the work-control relays
// (AlarmOutputs), and the restart once a stopping alarm has gone.

#include "drive/alarm_list.h"
#include "drive/controller.h"

#include "config/config.h"
#include "core/registry.h"

#include <algorithm>

namespace {

// Alarms whose raising and clearing the controller keeps in its event list.
constexpr int32_t kRecordedAlarms[] = {kAlarmBottomSensorBreakStop,
                                       kAlarmUpStrokeTooLong,
                                       kAlarmSimultaneousSensors,
                                       kAlarmOverCurrentReclose,
                                       kAlarmContactManometerStop,
                                       kAlarmRodOverloadRestart,
                                       kAlarmRodOverload};

} // namespace

bool Controller::raiseAlarm(const AlarmRecord& record) {
    if (!alarms_->add(record))
        return false;
    recordAlarmEvent(record.code, true);
    sensorReset_.startPeriodIfDue();
    alarmOutputs_.alarmRaised(record.code);
    return true;
}

bool Controller::clearAlarm(int32_t code) {
    if (!alarms_->remove(code))
        return false;
    recordAlarmEvent(code, false);
    sensorReset_.stopPeriodUnlessDue();
    alarmOutputs_.alarmCleared(code);
    return true;
}

void Controller::changeAlarmText(int32_t code, const std::string& text) {
    alarms_->changeText(code, text);
}

bool Controller::isAlarmActive(int32_t code) const {
    return alarms_->contains(code);
}

void Controller::recordAlarmEvent(int32_t code, bool raised) {
    if (std::find(std::begin(kRecordedAlarms), std::end(kRecordedAlarms), code) == std::end(kRecordedAlarms))
        return;
    alarmEvents_.push_back(raised ? code : -code);
    if (alarmEvents_.size() > kAlarmEventsKept)
        alarmEvents_.pop_front();
}

bool Controller::stopReasonActive() const {
    for (const auto& entry : alarms_->entries())
        if (alarmStopsTheDrive(entry.first))
            return true;
    return false;
}

void Controller::restartAfterClearing(bool stoppingAlarmCleared) {
    // Another reason to stay stopped may remain: the drive starts only from standstill and when none
    // does.
    if (!stoppingAlarmCleared || !automatic() || state_ != kStopped || stopReasonActive())
        return;
    startDrive();
}

bool Controller::clearAndRestart(int32_t code) {
    bool cleared = clearAlarm(code);
    restartAfterClearing(cleared && alarmStopsTheDrive(code));
    return cleared;
}
