#include "drive/alarm_list.h"

#include "core/journal.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/discrete_io.h"
#include "ui/display.h"

#include <algorithm>

namespace {

const char kUnit[] = "controller";

// Alarms that tell a sensor is not to be trusted; while one is active the sensors are power-cycled
// periodically.
constexpr int32_t kSensorFaultCodes[] = {2, 3, 4, 5, 6, 8, 9, 10, 21, 22, 24, 28, 29, 30, 36};

} // namespace

Controller::AlarmList::AlarmList(Controller& owner) : HorizontalMenuItem("Аварии привода:"), owner_(owner) {
    layer_.visible = false;
}

Controller::AlarmList::~AlarmList() {
    if (gDisplay)
        gDisplay->removeLayer(&layer_);
}

bool Controller::AlarmList::add(const AlarmRecord& record) {
    if (contains(record.code))
        return false;
    alarms_.emplace(record.code, record);
    ++count_;
    journalPrintf(LOG_ERR, "Авария привода: %s", record.text.c_str());
    redraw();
    updateSensorFault();
    return true;
}

bool Controller::AlarmList::remove(int32_t code) {
    auto it = alarms_.find(code);
    if (it == alarms_.end())
        return false;
    journalPrintf(LOG_ERR, "Снятие аварии: %s", it->second.text.c_str());
    alarms_.erase(it);
    --count_;
    redraw();
    updateSensorFault();
    return true;
}

bool Controller::AlarmList::changeText(int32_t code, const std::string& text) {
    auto it = alarms_.find(code);
    if (it == alarms_.end() || it->second.text == text)
        return false;
    LOG_MSG(LOG_ERR, kUnit, "Изменен текст аварии: '%s' -> '%s'", it->second.text.c_str(), text.c_str());
    it->second.text = text;
    redraw();
    return true;
}

void Controller::AlarmList::reset() {
    alarms_.clear();
    count_ = 0;
    redraw();
    sensorFault_ = false;
}

const AlarmRecord* Controller::AlarmList::first() const {
    return alarms_.empty() ? nullptr : &alarms_.begin()->second;
}

std::string Controller::AlarmList::currentText() const {
    const AlarmRecord* record = first();
    return record ? record->text : "Нет аварий";
}

std::vector<std::pair<std::string, std::string>> Controller::AlarmList::webEntries() const {
    std::vector<std::pair<std::string, std::string>> entries;
    for (const auto& [code, record] : alarms_)
        entries.emplace_back("alarm" + std::to_string(code), record.text);
    return entries;
}

void Controller::AlarmList::updateSensorFault() {
    sensorFault_ = std::any_of(std::begin(kSensorFaultCodes), std::end(kSensorFaultCodes),
                               [this](int32_t code) { return contains(code); });
}

void Controller::AlarmList::redraw() {
    drawLayer();
    applyStatusOutputs();
}

void Controller::AlarmList::applyStatusOutputs() {
    const AlarmRecord* record = first();
    uint8_t remote = record ? record->remote : 0;
    switch (owner_.modeSwitch(1)) {
    case kModeStop:
        owner_.setOutput(kStatusAutomatic, false);
        owner_.setOutput(kStatusAlarm, false);
        owner_.setOutput(kStatusStopped, true);
        break;
    case kModeAutomatic:
        owner_.setOutput(kStatusAutomatic, record ? record->automatic : true);
        owner_.setOutput(kStatusAlarm, record ? record->alarm : false);
        owner_.setOutput(kStatusStopped, record ? record->stopped : false);
        break;
    case kModeManual:
        owner_.setOutput(kStatusAutomatic, true);
        owner_.setOutput(kStatusAlarm, true);
        owner_.setOutput(kStatusStopped, true);
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
