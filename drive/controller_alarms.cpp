// Raising and clearing alarms: the list, the periodic sensor reset it arms, the status outputs that
// follow the list, and the work-control relays 17 and 18 that the workControl flags tie to alarms and
// modes.

#include "drive/alarm_list.h"
#include "drive/controller.h"

#include "config/config.h"
#include "core/registry.h"
#include "drive/discrete_io.h"

#include <algorithm>

namespace {

// workControl: option 0 stands for manual mode, option 1 for stop mode, option i + 2 for alarm i.
constexpr unsigned kManualFlag = 0;
constexpr unsigned kStopFlag = 1;
constexpr unsigned kFirstAlarmFlag = 2;

// Alarms whose raising and clearing the controller keeps in its event list.
constexpr int32_t kRecordedAlarms[] = {kAlarmBottomSensorBreakStop,
                                       kAlarmUpStrokeTooLong,
                                       kAlarmSimultaneousSensors,
                                       kAlarmOverCurrentReclose,
                                       kAlarmContactManometerStop,
                                       kAlarmRodOverloadRestart,
                                       kAlarmRodOverload};

bool hasFlag(const ConfigFlagsGroup& flags, unsigned flag) {
    return flag < flags.options.size();
}

} // namespace

void Controller::applyStatusOutputs() {
    const AlarmRecord* record = alarms_->first();
    uint8_t remote = record ? record->remote : 0;
    switch (modeSwitch(1)) {
    case kModeStop:
        setOutput(kStatusAutomatic, false);
        setOutput(kStatusAlarm, false);
        setOutput(kStatusStopped, true);
        break;
    case kModeAutomatic:
        setOutput(kStatusAutomatic, record ? record->automatic : true);
        setOutput(kStatusAlarm, record ? record->alarm : false);
        setOutput(kStatusStopped, record ? record->stopped : false);
        break;
    case kModeManual:
        setOutput(kStatusAutomatic, true);
        setOutput(kStatusAlarm, true);
        setOutput(kStatusStopped, true);
        break;
    default:
        // A faulty or unread switch leaves the outputs as they are.
        return;
    }
    // The status flag is the chain's blank pattern: while the drive waits for a remote start every
    // lamp of the panel blinks.
    if (gDiscreteIO)
        gDiscreteIO->setBlank(remote != 0);
}

bool Controller::raiseAlarm(const AlarmRecord& record) {
    if (!alarms_->add(record))
        return false;
    recordAlarmEvent(record.code, true);
    sensorReset_.startPeriodIfDue();
    if (relayBitSet(record.code)) {
        setOutput(kRelay2, false);
        setOutput(kRelay1, false);
    }
    return true;
}

bool Controller::clearAlarm(int32_t code) {
    if (!alarms_->remove(code))
        return false;
    recordAlarmEvent(code, false);
    sensorReset_.stopPeriodUnlessDue();
    if (relayBitSet(code) && !relayTripReasonRemains(code)) {
        setOutput(kRelay2, true);
        setOutput(kRelay1, true);
    }
    return true;
}

void Controller::changeAlarmText(int32_t code, const std::string& text) {
    alarms_->changeText(code, text);
}

bool Controller::isAlarmActive(int32_t code) const {
    return alarms_->contains(code);
}

std::string Controller::currentAlarmText() const {
    return alarms_->currentText();
}

std::vector<std::pair<std::string, std::string>> Controller::alarmEntries() const {
    return alarms_->webEntries();
}

void Controller::recordAlarmEvent(int32_t code, bool raised) {
    if (std::find(std::begin(kRecordedAlarms), std::end(kRecordedAlarms), code) == std::end(kRecordedAlarms))
        return;
    alarmEvents_.push_back(raised ? code : -code);
    if (alarmEvents_.size() > kAlarmEventsKept)
        alarmEvents_.pop_front();
}

bool Controller::relayBitSet(int32_t code) const {
    const ConfigFlagsGroup& flags = gConfig->workControl;
    unsigned flag = static_cast<unsigned>(code) + kFirstAlarmFlag;
    return code >= 0 && hasFlag(flags, flag) && flags.isOn(flag);
}

bool Controller::relayTripReasonRemains(int32_t exceptCode) const {
    const ConfigFlagsGroup& flags = gConfig->workControl;
    if (flags.isOn(kManualFlag) && modeSwitch(1) == kModeManual)
        return true;
    if (flags.isOn(kStopFlag) && modeSwitch(1) == kModeStop)
        return true;
    for (const auto& entry : alarms_->entries())
        if (entry.first != exceptCode && relayBitSet(entry.first))
            return true;
    return false;
}

void Controller::recomputeRelays() {
    bool healthy = gConfig->workControl.options.empty() || !relayTripReasonRemains(-1);
    setOutput(kRelay2, healthy);
    setOutput(kRelay1, healthy);
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
