#include "drive/analog_sampling.h"

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/alarm_catalogue.h"
#include "platform/clock.h"

#include <algorithm>

namespace {

const char kUnit[] = "controller";

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

int pressureState(float pressure) {
    if (pressure < -30.0f)
        return kSensorOpen;
    if (pressure > 265.0f)
        return kSensorShort;
    return kSensorOk;
}

} // namespace

void AnalogSampling::start() {
    pressureDueMs_ = platform::monotonicMs();
    timer_.start("adc", kFirstMs, [this] { onTimer(); });
}

// Runs about every 9 ms: 9 ms after its scheduled time, or after 1 ms when it is more than 8 ms late.
void AnalogSampling::onTimer() {
    uint32_t late = platform::monotonicMs() - gTimers->currentTick();
    timer_.start("adc", late > 8 ? 1 : 9 - late, [this] { onTimer(); });
    samplePosition(kTopChannel, true);
    samplePosition(kBottomChannel, false);
    if (platform::monotonicMs() - pressureDueMs_ >= kPressureStepMs) {
        pressureDueMs_ += kPressureStepMs;
        samplePressure();
    }
}

void AnalogSampling::samplePosition(int channel, bool top) {
    int counts = hooks_.read(channel);
    if (counts < 0)
        return;
    hooks_.position(top, counts * kVoltsPerCount / kPositionDivider);
}

void AnalogSampling::samplePressure() {
    int counts = hooks_.read(kPressureChannel);
    if (counts < 0)
        return;
    PumpUnit& drive = unit_;
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
            actions_.raiseAlarm(makeAlarm(kAlarmPressureSensorFault));
        } else if (state == kSensorShort) {
            LOG_MSG(LOG_INFO, kUnit, "замыкание ДД%d", drive.unit());
            actions_.raiseAlarm(makeAlarm(kAlarmPressureSensorFault));
        } else {
            LOG_MSG(LOG_INFO, kUnit, "ДД%d исправен", drive.unit());
            actions_.clearAlarm(kAlarmPressureSensorFault);
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
    hooks_.loadSampled(drive.load);
}
