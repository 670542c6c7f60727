// The continuous poll of a unit's drive: one request in flight, every answer or time-out advancing
// the step and sending the next request at once.

#include "drive/pump_unit.h"

#include "core/registry.h"
#include "drive/discrete_outputs.h"
#include "drive/drive_poll_table.h"
#include "drive/unit_settings.h"
#include "fieldbus/smbus.h"

#include <vector>

namespace {

constexpr uint8_t kReadHoldingRegisters = 0x03;

uint16_t registerAt(const Bytes& answer, int index) {
    size_t at = 3 + 2 * static_cast<size_t>(index);
    return static_cast<uint16_t>(answer[at] << 8 | answer[at + 1]);
}

uint32_t doubleRegisterAt(const Bytes& answer, int index) {
    return static_cast<uint32_t>(registerAt(answer, index)) << 16 | registerAt(answer, index + 1);
}

// An answer is used only when it is a read answer carrying at least the registers asked for.
bool usableAnswer(const Bytes& answer, const DrivePollStep& read) {
    size_t bytes = 2 * static_cast<size_t>(read.count);
    return answer.size() >= 3 + bytes && answer[1] == kReadHoldingRegisters && answer[2] >= bytes;
}

} // namespace

void PumpUnit::startPolling() {
    sendRequest();
}

void PumpUnit::onAnswer(int status, const Bytes& answer, void* context) {
    static_cast<PumpUnit*>(context)->handleAnswer(status, answer);
}

void PumpUnit::handleAnswer(int status, const Bytes& answer) {
    const DrivePollStep* read = drivePollStep(pollStep_);
    if (read) {
        if (status == 0 && usableAnswer(answer, *read))
            useAnswer(pollStep_, answer);
        else
            readFailed(pollStep_);
    }
    advance();
    sendRequest();
}

void PumpUnit::advance() {
    ++pollStep_;
    if (pollStep_ == kFirstModelEndStep || pollStep_ == kSecondModelEndStep) {
        // The drive model is taken again at every wrap, so a changed type takes effect here.
        pollStep_ = driveTypeOf(unit_).current == 1 ? kSecondModelFirstStep : kFirstModelFirstStep;
    }
}

void PumpUnit::sendRequest() {
    std::vector<uint8_t> pdu;
    if (const DrivePollStep* read = drivePollStep(pollStep_)) {
        pdu = {static_cast<uint8_t>(address_),         kReadHoldingRegisters,
               static_cast<uint8_t>(read->reg >> 8),   static_cast<uint8_t>(read->reg),
               static_cast<uint8_t>(read->count >> 8), static_cast<uint8_t>(read->count)};
    } else {
        const ControlFrame& frame = secondModel() ? frameB_ : frameA_;
        pdu.assign(frame.begin(), frame.end());
    }
    if (bus_.request(pdu.data(), static_cast<int>(pdu.size()), &PumpUnit::onAnswer, this))
        return;
    // The line is closed and would not open: the poll tries again a little later.
    busRetry_.start("pollRetry", kBusRetryMs, [this] { sendRequest(); });
}

void PumpUnit::readFailed(int step) {
    const DrivePollStep* read = drivePollStep(step);
    if (read->use == PollUse::Frequency)
        frequencyValid_ = false;
    if (read->use == PollUse::Current)
        currentValid_ = false;
    if (read->use == PollUse::FrequencyAndCurrent) {
        frequencyValid_ = false;
        currentValid_ = false;
    }
}

void PumpUnit::useAnswer(int step, const Bytes& answer) {
    switch (drivePollStep(step)->use) {
    case PollUse::AlarmWord:
        setAlarmWord(0, doubleRegisterAt(answer, 0));
        return;
    case PollUse::Frequency:
        frequency_ = registerAt(answer, 0) / 10.0f;
        frequencyValid_ = true;
        return;
    case PollUse::Current:
        current_ = doubleRegisterAt(answer, 0) / 100.0f;
        currentValid_ = true;
        return;
    case PollUse::Turning:
        setTurning(doubleRegisterAt(answer, 0));
        return;
    case PollUse::Power:
        powerSum_ += static_cast<float>(doubleRegisterAt(answer, 0));
        ++powerSamples_;
        return;
    case PollUse::Temperature:
        setTemperature(secondModel() ? registerAt(answer, 0) : registerAt(answer, 0) & 0xFF);
        return;
    case PollUse::AlarmWord2:
        setAlarmWord(1, doubleRegisterAt(answer, 0));
        return;
    case PollUse::WarningWord:
        setAlarmWord(2, doubleRegisterAt(answer, 0));
        return;
    case PollUse::WarningWord2:
        setAlarmWord(3, doubleRegisterAt(answer, 0));
        return;
    case PollUse::FrequencyAndCurrent:
        frequency_ = registerAt(answer, 0) / 100.0f;
        current_ = registerAt(answer, 1) / 100.0f;
        frequencyValid_ = true;
        currentValid_ = true;
        return;
    case PollUse::PowerAndTurning:
        powerSum_ += registerAt(answer, 0) * 1000.0f;
        ++powerSamples_;
        setTurning(registerAt(answer, 1));
        return;
    case PollUse::ErrorCode:
        setAlarmWord(0, registerAt(answer, 0));
        return;
    }
}

// A changed word is told to the checks that watch it: motor overheating (alarm word bit 7 or the
// error code), over-current (alarm word 2 bit 25 or the error code) and the text of alarm 39.
void PumpUnit::setAlarmWord(int index, uint32_t word) {
    // The reset sequence judges the over-current: the words are fresh once the one carrying it (the
    // first model's alarm word 2, the second model's error code) has been read.
    if (index == (secondModel() ? 0 : 1))
        alarmWordsFresh_ = true;
    uint32_t old = alarmWords_[index];
    if (word == old)
        return;
    bool wasOverheated = motorOverheated();
    bool wasOverCurrent = overCurrent();
    alarmWords_[index] = word;
    if (secondModel()) {
        // The second model reports one error code; the other words stay 0.
        alarmWords_[1] = alarmWords_[2] = alarmWords_[3] = 0;
        owner_.checkMotorOverheat();
        owner_.checkOverCurrent();
    } else {
        if (motorOverheated() != wasOverheated)
            owner_.checkMotorOverheat();
        if (overCurrent() != wasOverCurrent)
            owner_.checkOverCurrent();
    }
    owner_.rebuildDriveAlarmText();
}

void PumpUnit::setTemperature(int temperature) {
    int old = driveTemperature_;
    driveTemperature_ = temperature;
    if ((old == 0) != (temperature == 0))
        owner_.checkDriveTemperature();
}

void PumpUnit::setTurning(uint32_t word) {
    uint32_t old = turning_;
    turning_ = word;
    owner_.setOutput(unit_ == 1 ? kOutputTurningLamp1 : kOutputTurningLamp2, word != 0);
    if (old != 0 && word == 0)
        owner_.onTurningStopped();
}
