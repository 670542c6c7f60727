#include "drive/alarm_outputs.h"

#include "config/config.h"
#include "core/registry.h"
#include "drive/controller_types.h"
#include "drive/discrete_outputs.h"

namespace {

// workControl: option 0 stands for manual mode, option 1 for stop mode, option i + 2 for alarm i.
constexpr unsigned kManualFlag = 0;
constexpr unsigned kStopFlag = 1;
constexpr unsigned kFirstAlarmFlag = 2;

bool hasFlag(const ConfigFlagsGroup& flags, unsigned flag) {
    return flag < flags.options.size();
}

} // namespace

AlarmOutputs::AlarmOutputs(const AlarmList& alarms, Hooks hooks) : alarms_(alarms), hooks_(std::move(hooks)) {
    alarms_.addObserver(this);
}

AlarmOutputs::~AlarmOutputs() {
    alarms_.removeObserver(this);
}

void AlarmOutputs::alarmsChanged() {
    const AlarmRecord* record = alarms_.first();
    uint8_t remote = record ? record->remote : 0;
    switch (hooks_.mode()) {
    case kModeStop:
        hooks_.setOutput(kOutputStatusAutomatic, false);
        hooks_.setOutput(kOutputStatusAlarm, false);
        hooks_.setOutput(kOutputStatusStopped, true);
        break;
    case kModeAutomatic:
        hooks_.setOutput(kOutputStatusAutomatic, record ? record->automatic : true);
        hooks_.setOutput(kOutputStatusAlarm, record ? record->alarm : false);
        hooks_.setOutput(kOutputStatusStopped, record ? record->stopped : false);
        break;
    case kModeManual:
        hooks_.setOutput(kOutputStatusAutomatic, true);
        hooks_.setOutput(kOutputStatusAlarm, true);
        hooks_.setOutput(kOutputStatusStopped, true);
        break;
    default:
        // A faulty or unread switch leaves the outputs as they are.
        return;
    }
    // The status flag is the chain's blank pattern: while the drive waits for a remote start every
    // lamp of the panel blinks.
    hooks_.blank(remote != 0);
}

void AlarmOutputs::alarmRaised(int32_t code) {
    if (!relayBitSet(code))
        return;
    hooks_.setOutput(kOutputRelay2, false);
    hooks_.setOutput(kOutputRelay1, false);
}

void AlarmOutputs::alarmCleared(int32_t code) {
    if (!relayBitSet(code) || tripReasonRemains(code))
        return;
    hooks_.setOutput(kOutputRelay2, true);
    hooks_.setOutput(kOutputRelay1, true);
}

void AlarmOutputs::recomputeRelays() {
    bool healthy = gConfig->workControl.options.empty() || !tripReasonRemains(-1);
    hooks_.setOutput(kOutputRelay2, healthy);
    hooks_.setOutput(kOutputRelay1, healthy);
}

bool AlarmOutputs::relayBitSet(int32_t code) const {
    const ConfigFlagsGroup& flags = gConfig->workControl;
    unsigned flag = static_cast<unsigned>(code) + kFirstAlarmFlag;
    return code >= 0 && hasFlag(flags, flag) && flags.isOn(flag);
}

bool AlarmOutputs::tripReasonRemains(int32_t exceptCode) const {
    const ConfigFlagsGroup& flags = gConfig->workControl;
    int mode = hooks_.mode();
    if (flags.isOn(kManualFlag) && mode == kModeManual)
        return true;
    if (flags.isOn(kStopFlag) && mode == kModeStop)
        return true;
    for (const auto& entry : alarms_.entries())
        if (entry.first != exceptCode && relayBitSet(entry.first))
            return true;
    return false;
}
