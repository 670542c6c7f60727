#include "drive/pump_unit.h"

#include "config/config.h"
#include "core/journal.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/discrete_outputs.h"
#include "drive/drive_poll_table.h"
#include "drive/unit_settings.h"
#include "fieldbus/smbus.h"

namespace {

const char kUnit[] = "controller";

// The first drive model signals motor overheating in bit 7 of its alarm word and over-current in bit
// 25 of alarm word 2; the second model by its error code.
constexpr uint32_t kOverheatBit = 1u << 7;
constexpr uint32_t kOverCurrentBit = 1u << 25;
constexpr uint32_t kSecondModelOverheatCode = 24;
constexpr uint32_t kSecondModelFirstOverCurrentCode = 100;

} // namespace

PumpUnit::PumpUnit(PumpUnitOwner& owner, SMBus& bus, int unit, int address)
    : owner_(owner), bus_(bus), unit_(unit), address_(address),
      frameA_(initialFrameA(static_cast<uint8_t>(address))),
      frameB_(initialFrameB(static_cast<uint8_t>(address))) {
    sensors_.fill(kSensorUnknown);
    pollStep_ = driveTypeOf(unit).current == 1 ? kSecondModelFirstStep : kFirstModelFirstStep;
}

PumpUnit::~PumpUnit() {
    bus_.cancelRequests(this);
}

bool PumpUnit::modbusControl() const {
    return controlTypeOf(unit_).current != 0;
}

int PumpUnit::topSensor() const {
    return gConfig->topSensorType.current == 0 ? sensors_[kTopAnalog] : sensors_[kTopDiscrete];
}

int PumpUnit::bottomSensor() const {
    return gConfig->botSensorType.current == 0 ? sensors_[kBottomAnalog] : sensors_[kBottomDiscrete];
}

void PumpUnit::start(float hertz) {
    LOG_MSG(LOG_INFO, kUnit, "НУ%d: запуск двигателя (%.1f Гц)", unit_, hertz);
    if (modbusControl()) {
        uint8_t low = static_cast<uint8_t>((frameBCommandLow(frameB_) & kCommandDirectionBits) | kCommandRun);
        setFrameBCommand(frameB_, 0, low);
        setFrameAControlWord(frameA_, kControlWordRun);
    } else {
        owner_.setOutput(unit_ == 1 ? kOutputRunLine1 : kOutputRunLine2, true);
        owner_.setOutput(unit_ == 1 ? kOutputSecondLine1 : kOutputSecondLine2, true);
    }
    setSetPoint(hertz);
    running_ = true;
    owner_.motorStarted(unit_);
}

void PumpUnit::stop(bool fast) {
    if (running_)
        LOG_MSG(LOG_INFO, kUnit, "НУ%d: останов двигателя (%s)", unit_, fast ? "быстрый" : "нормальный");
    // A drive that coasts (deceleration 0.09 s) is stopped the fast way on its discrete lines too.
    bool coasting = driveTypeOf(unit_).current == 0 && coastsToStop(unit_);
    if (modbusControl()) {
        uint8_t direction = frameBCommandLow(frameB_) & kCommandDirectionBits;
        setFrameBCommand(frameB_, kCommandStopHigh,
                         static_cast<uint8_t>(direction | (fast ? kCommandFastStop : kCommandStop)));
        uint16_t word = fast                  ? kControlWordFastStop
                        : coastsToStop(unit_) ? kControlWordCoastStop
                                              : kControlWordRampStop;
        setFrameAControlWord(frameA_, word);
        setFrameBFrequency(frameB_, 0);
    } else {
        owner_.setOutput(unit_ == 1 ? kOutputRunLine1 : kOutputRunLine2, false);
        owner_.setOutput(unit_ == 1 ? kOutputSecondLine1 : kOutputSecondLine2, !fast && !coasting);
    }
    running_ = false;
    owner_.motorStopped(unit_);
}

void PumpUnit::stopAndCloseValve() {
    stop(true);
    owner_.valveClosedByUnit(unit_);
}

void PumpUnit::markFaulty(bool faulty) {
    if (faulty == faulty_)
        return;
    faulty_ = faulty;
    journalPrintf(LOG_INFO, "НУ%d: помечена как %sисправная", unit_, faulty ? "не" : "");
    if (!faulty)
        owner_.checkOverCurrent();
}

void PumpUnit::setSetPoint(float hertz) {
    setPoint_ = hertz;
    ReferenceWords words = encodeReference(hertz);
    setFrameAReference(frameA_, words.reference);
    setFrameBFrequency(frameB_, words.frequency);
}

void PumpUnit::setReverse(bool reverse) {
    uint8_t low = static_cast<uint8_t>((frameBCommandLow(frameB_) & ~kCommandDirectionBits) |
                                       (reverse ? kCommandReverse : kCommandForward));
    setFrameBCommand(frameB_, frameBCommandHigh(frameB_), low);
}

void PumpUnit::setAddress(int address) {
    address_ = address;
    frameA_[0] = static_cast<uint8_t>(address);
    frameB_[0] = static_cast<uint8_t>(address);
}

bool PumpUnit::motorOverheated() const {
    if (secondModel())
        return alarmWords_[0] == kSecondModelOverheatCode;
    return (alarmWords_[0] & kOverheatBit) != 0;
}

bool PumpUnit::overCurrent() const {
    if (secondModel())
        return alarmWords_[0] >= kSecondModelFirstOverCurrentCode;
    return (alarmWords_[1] & kOverCurrentBit) != 0;
}

void PumpUnit::forgetAlarmWords() {
    alarmWordsFresh_ = false;
    bool changed = alarmWords_ != std::array<uint32_t, 4>{};
    alarmWords_.fill(0);
    if (changed)
        owner_.rebuildDriveAlarmText();
}

void PumpUnit::clearPower() {
    powerSum_ = 0;
    powerSamples_ = 0;
}

void PumpUnit::resetGaugeExtremes() {
    float gauge = (pressure - 1.0f) * 98066.5f;
    gaugeMaxPa = gauge;
    gaugeMinPa = gauge;
}
