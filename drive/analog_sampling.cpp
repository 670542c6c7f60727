// Analogue sampling on the "adc" timer: НУ1's inductive position sensors (channels 0 and 1) on every
// run, about every 9 ms, and the pressure sensor ДД (channel 4, 4-20 mA across 110 Ω) every 50 ms,
// from which the rod load follows.

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/controller.h"

#include <algorithm>

namespace {

const char kUnit[] = "controller";

constexpr uint32_t kPressureStepMs = 50;
constexpr int kTopChannel = 0;
constexpr int kBottomChannel = 1;
constexpr int kPressureChannel = 4;

// Converter counts 0-4095 are 0-2.5 V at its input.
constexpr float kVoltsPerCount = 2.5f / 4096.0f;
// The position sensors come through a divider of 0.39, the pressure loop across 110 Ω.
constexpr float kPositionDivider = 0.39f;
constexpr float kPressureShuntKiloOhm = 0.11f;
constexpr float kBarPerMilliamp = 15.5625f;
constexpr float kPascalPerKgfCm2 = 98066.5f;
constexpr float kGravity = 9.80665f;

int positionState(float volts) {
    if (volts < 0.1f)
        return kSensorOpen;
    if (volts > 6.0f)
        return kSensorShort;
    return volts < 1.65f ? kSensorActive : kSensorInactive;
}

int pressureState(float pressure) {
    if (pressure < -30.0f)
        return kSensorOpen;
    if (pressure > 265.0f)
        return kSensorShort;
    return kSensorOk;
}

} // namespace

// Runs about every 9 ms: 9 ms after its scheduled time, or after 1 ms when it is more than 8 ms late.
void Controller::onAdcTimer() {
    uint32_t late = now() - gTimers->currentTick();
    adcTimer_.start("adc", late > 8 ? 1 : 9 - late, [this] { onAdcTimer(); });
    sampleAnalogPosition(kTopChannel, true);
    sampleAnalogPosition(kBottomChannel, false);
    if (now() - adcStepMs_ >= kPressureStepMs) {
        adcStepMs_ += kPressureStepMs;
        samplePressure();
    }
}

void Controller::sampleAnalogPosition(int channel, bool top) {
    int counts = gDiscreteIO ? gDiscreteIO->readAdc(channel) : -1;
    if (counts < 0)
        return;
    float volts = counts * kVoltsPerCount / kPositionDivider;
    float& filtered = top ? unit1_->topVolts : unit1_->bottomVolts;
    filtered = 0.5f * filtered + 0.5f * volts;
    PumpUnit::SensorSlot slot = top ? PumpUnit::kTopAnalog : PumpUnit::kBottomAnalog;
    int state = positionState(filtered);
    int previous = unit1_->sensor(slot);
    if (state == previous)
        return;
    unit1_->setSensor(slot, state);
    const ConfigSelect& type = top ? gConfig->topSensorType : gConfig->botSensorType;
    if (type.current != 0)
        return;
    showSensorLamp(1, top, state);
    if (top)
        onTopSensor(state, previous);
    else
        onBottomSensor(state, previous);
}

void Controller::samplePressure() {
    int counts = gDiscreteIO ? gDiscreteIO->readAdc(kPressureChannel) : -1;
    if (counts < 0)
        return;
    PumpUnit& drive = *unit1_;
    float milliamps = counts * kVoltsPerCount / kPressureShuntKiloOhm;
    float raw = 1.0f + (milliamps - 4.0f) * kBarPerMilliamp;
    float smoothing = gConfig->pressureSmoothing.value;
    // The first sample has nothing to be smoothed with.
    drive.pressure = drive.pressureSampled ? smoothing * drive.pressure + (1.0f - smoothing) * raw : raw;
    bool first = !drive.pressureSampled;
    drive.pressureSampled = true;
    int state = pressureState(drive.pressure);
    if (state != drive.sensor(PumpUnit::kPressureSensor)) {
        drive.setSensor(PumpUnit::kPressureSensor, state);
        if (state == kSensorOpen) {
            LOG_MSG(LOG_INFO, kUnit, "обрыв ДД%d", drive.unit());
            raiseAlarm(makeAlarm(kAlarmPressureSensorFault));
        } else if (state == kSensorShort) {
            LOG_MSG(LOG_INFO, kUnit, "замыкание ДД%d", drive.unit());
            raiseAlarm(makeAlarm(kAlarmPressureSensorFault));
        } else {
            LOG_MSG(LOG_INFO, kUnit, "ДД%d исправен", drive.unit());
            clearAlarm(kAlarmPressureSensorFault);
        }
    }
    float gauge = (drive.pressure - 1.0f) * kPascalPerKgfCm2;
    if (first) {
        drive.gaugeMaxPa = gauge;
        drive.gaugeMinPa = gauge;
    }
    drive.gaugeMaxPa = std::max(drive.gaugeMaxPa, gauge);
    drive.gaugeMinPa = std::min(drive.gaugeMinPa, gauge);
    drive.load = gConfig->cylinderArea.value / 10000.0f * gauge / kGravity;
    onLoadSample(drive.load);
}
