#include "sim/sim_drive.h"

#include "platform/clock.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint8_t kReadHolding = 0x03;
constexpr uint8_t kWriteSingle = 0x06;
constexpr uint8_t kWriteCoils = 0x0F;
constexpr uint8_t kWriteMultiple = 0x10;
constexpr uint8_t kIllegalFunction = 0x01;
constexpr uint8_t kIllegalAddress = 0x02;
constexpr uint8_t kIllegalValue = 0x03;

// The first model's run bit in its control word, and its alarm bits.
constexpr uint16_t kRunBit = 0x0040;
constexpr uint32_t kOverheatBit = 1u << 7;
constexpr uint32_t kOverCurrentBit = 1u << 25;
// The second model's control frame registers.
constexpr uint16_t kCommandRegister = 0x2000;

uint16_t wordAt(const SimBytes& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

void pushWord(SimBytes& bytes, uint16_t value) {
    bytes.push_back(static_cast<uint8_t>(value >> 8));
    bytes.push_back(static_cast<uint8_t>(value));
}

uint16_t high(uint32_t value) {
    return static_cast<uint16_t>(value >> 16);
}

uint16_t low(uint32_t value) {
    return static_cast<uint16_t>(value);
}

} // namespace

SimDrive::SimDrive(uint8_t address, SimDriveModel model) : address_(address), model_(model) {}

void SimDrive::setFault(SimDriveFault fault, bool on) {
    switch (fault) {
    case SimDriveFault::OverCurrent:
        overCurrent_ = on;
        if (on)
            frequency_ = 0;
        return;
    case SimDriveFault::MotorOverheat:
        overheat_ = on;
        return;
    case SimDriveFault::Cold:
        cold_ = on;
        return;
    }
}

bool SimDrive::hasFault(SimDriveFault fault) const {
    switch (fault) {
    case SimDriveFault::OverCurrent:
        return overCurrent_;
    case SimDriveFault::MotorOverheat:
        return overheat_;
    case SimDriveFault::Cold:
        return cold_;
    }
    return false;
}

void SimDrive::clearFaults() {
    overCurrent_ = overheat_ = cold_ = false;
}

void SimDrive::setHeldInReset(bool held) {
    if (held) {
        // A reset clears the trip; the motor is off while the line is held.
        overCurrent_ = false;
        frequency_ = 0;
    }
    heldInReset_ = held;
}

bool SimDrive::runCommanded() const {
    if (runLine_)
        return true;
    if (model_ == SimDriveModel::First)
        return (controlWord_ & kRunBit) != 0;
    return (command_ & 0x03) == 0x02;
}

float SimDrive::setPoint() const {
    if (model_ == SimDriveModel::First)
        return reference_ * 100.0f / 16384.0f;
    return commandFrequency_ / 100.0f;
}

void SimDrive::advance() {
    uint32_t now = platform::monotonicMs();
    float seconds = advanced_ ? (now - lastAdvanceMs_) / 1000.0f : 0.0f;
    lastAdvanceMs_ = now;
    advanced_ = true;
    float target = runCommanded() && !overCurrent_ && !heldInReset_ ? setPoint() : 0.0f;
    frequency_ += (target - frequency_) * (1.0f - std::exp(-seconds / kRampSeconds));
    // The last half hertz is taken at once: a drive reports its motor standing, not creeping.
    if (std::fabs(target - frequency_) < 0.5f)
        frequency_ = target;
}

float SimDrive::outputFrequency() {
    advance();
    return frequency_;
}

float SimDrive::motorCurrent() {
    if (outputFrequency() < 0.5f)
        return 0;
    return kRatedCurrent * (0.25f + 0.75f * std::clamp(load_, 0.0f, 1.0f));
}

float SimDrive::powerWatts() {
    return outputFrequency() > 0 ? power_ : 0.0f;
}

int SimDrive::temperature() const {
    return cold_ ? 0 : kWarmCelsius;
}

uint16_t SimDrive::parameter(uint16_t reg) const {
    auto it = parameters_.find(reg);
    return it == parameters_.end() ? 0 : it->second;
}

SimBytes SimDrive::answer(const SimBytes& request) {
    if (silent_ || heldInReset_ || request.size() < 2)
        return {};
    SimBytes reply;
    switch (request[1]) {
    case kReadHolding:
        reply = readRegisters(request);
        break;
    case kWriteSingle:
        reply = writeSingle(request);
        break;
    case kWriteCoils:
        reply = writeCoils(request);
        break;
    case kWriteMultiple:
        reply = writeMultiple(request);
        break;
    default:
        reply = exception(request[1], kIllegalFunction);
        break;
    }
    ++answered_;
    return reply;
}

SimBytes SimDrive::exception(uint8_t function, uint8_t code) const {
    return {address_, static_cast<uint8_t>(function | 0x80), code};
}

SimBytes SimDrive::readRegisters(const SimBytes& request) {
    if (request.size() != 6)
        return exception(kReadHolding, kIllegalValue);
    uint16_t start = wordAt(request, 2);
    uint16_t count = wordAt(request, 4);
    if (count == 0 || count > 125)
        return exception(kReadHolding, kIllegalValue);
    SimBytes reply = {address_, kReadHolding, static_cast<uint8_t>(2 * count)};
    for (uint16_t i = 0; i < count; ++i) {
        uint16_t value = 0;
        if (!readRegister(static_cast<uint16_t>(start + i), value))
            return exception(kReadHolding, kIllegalAddress);
        pushWord(reply, value);
    }
    return reply;
}

bool SimDrive::readRegister(uint16_t reg, uint16_t& value) {
    return model_ == SimDriveModel::First ? readFirstModel(reg, value) : readSecondModel(reg, value);
}

bool SimDrive::readFirstModel(uint16_t reg, uint16_t& value) {
    uint32_t alarmWord = overheat_ ? kOverheatBit : 0;
    uint32_t alarmWord2 = overCurrent_ ? kOverCurrentBit : 0;
    uint32_t current = static_cast<uint32_t>(motorCurrent() * 100.0f);
    uint32_t speed = static_cast<uint32_t>(outputFrequency() * 30.0f);
    uint32_t power = static_cast<uint32_t>(powerWatts());
    switch (reg) {
    case 0x4203:
        value = high(alarmWord);
        return true;
    case 0x4204:
        value = low(alarmWord);
        return true;
    case 0x3F01:
        value = static_cast<uint16_t>(outputFrequency() * 10.0f + 0.5f);
        return true;
    case 0x3F0B:
        value = high(current);
        return true;
    case 0x3F0C:
        value = low(current);
        return true;
    case 0x3F29:
        value = high(speed);
        return true;
    case 0x3F2A:
        value = low(speed);
        return true;
    case 0x3EE3:
        value = high(power);
        return true;
    case 0x3EE4:
        value = low(power);
        return true;
    case 0x4005:
        value = static_cast<uint16_t>(temperature());
        return true;
    case 0x420D:
        value = high(alarmWord2);
        return true;
    case 0x420E:
        value = low(alarmWord2);
        return true;
    case 0x4217:
        value = high(warningWord_);
        return true;
    case 0x4218:
        value = low(warningWord_);
        return true;
    case 0x4221:
    case 0x4222:
        value = 0;
        return true;
    default:
        return false;
    }
}

bool SimDrive::readSecondModel(uint16_t reg, uint16_t& value) {
    uint16_t error = overCurrent_ ? kOverCurrentCode : overheat_ ? kOverheatCode : 0;
    switch (reg) {
    case 0x2100:
        value = error;
        return true;
    case 0x2103:
        value = static_cast<uint16_t>(outputFrequency() * 100.0f + 0.5f);
        return true;
    case 0x2104:
        value = static_cast<uint16_t>(motorCurrent() * 100.0f);
        return true;
    case 0x2206:
        value = static_cast<uint16_t>(powerWatts() / 1000.0f + 0.5f);
        return true;
    case 0x2207:
        value = outputFrequency() > 0.1f ? 3 : 0;
        return true;
    case 0x220F:
        value = static_cast<uint16_t>(temperature());
        return true;
    default:
        return false;
    }
}

// Frame A: 32 coils from 0, the control word and then the reference, least significant bit first.
SimBytes SimDrive::writeCoils(const SimBytes& request) {
    if (model_ != SimDriveModel::First)
        return exception(kWriteCoils, kIllegalFunction);
    if (request.size() != 11 || wordAt(request, 2) != 0 || wordAt(request, 4) != 32 || request[6] != 4)
        return exception(kWriteCoils, kIllegalAddress);
    advance();
    controlWord_ = static_cast<uint16_t>(request[7] | request[8] << 8);
    reference_ = static_cast<uint16_t>(request[9] | request[10] << 8);
    return SimBytes(request.begin(), request.begin() + 6);
}

SimBytes SimDrive::writeSingle(const SimBytes& request) {
    if (request.size() != 6)
        return exception(kWriteSingle, kIllegalValue);
    uint16_t reg = wordAt(request, 2);
    uint16_t value = wordAt(request, 4);
    parameters_[reg] = value;
    keep({kWriteSingle, reg, {value}});
    return request;
}

SimBytes SimDrive::writeMultiple(const SimBytes& request) {
    if (request.size() < 7)
        return exception(kWriteMultiple, kIllegalValue);
    uint16_t start = wordAt(request, 2);
    uint16_t count = wordAt(request, 4);
    if (count == 0 || request[6] != 2 * count || request.size() != 7 + 2u * count)
        return exception(kWriteMultiple, kIllegalValue);
    std::vector<uint16_t> values;
    for (uint16_t i = 0; i < count; ++i)
        values.push_back(wordAt(request, 7 + 2u * i));
    if (model_ == SimDriveModel::Second && start == kCommandRegister && count == 2) {
        // Frame B: the command and the frequency in 0.01 Hz.
        advance();
        command_ = values[0];
        commandFrequency_ = values[1];
    } else {
        for (uint16_t i = 0; i < count; ++i)
            parameters_[static_cast<uint16_t>(start + i)] = values[i];
        keep({kWriteMultiple, start, values});
    }
    return SimBytes(request.begin(), request.begin() + 6);
}

void SimDrive::keep(SimDriveWrite write) {
    writes_.push_back(std::move(write));
    if (writes_.size() > kKeptWrites)
        writes_.pop_front();
}

const char* simDriveModelName(SimDriveModel model) {
    return model == SimDriveModel::First ? "first" : "second";
}

bool parseSimDriveFault(const std::string& word, SimDriveFault& fault) {
    if (word == "overcurrent")
        fault = SimDriveFault::OverCurrent;
    else if (word == "overheat")
        fault = SimDriveFault::MotorOverheat;
    else if (word == "cold")
        fault = SimDriveFault::Cold;
    else
        return false;
    return true;
}
