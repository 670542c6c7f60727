#include "drive/sensor_reset.h"

#include "config/config.h"

void SensorReset::run() {
    float duration = gConfig->sensorResetDuration.value;
    if (duration <= 0) {
        finish();
        return;
    }
    hooks_.setPowerOff(true);
    resetTimer_.start("sensordReset", static_cast<uint32_t>(duration * 1000.0f), [this] { finish(); });
}

void SensorReset::finish() {
    hooks_.setPowerOff(false);
    hooks_.finished();
    if (gConfig->sensorResetPeriod.value > 0 && hooks_.periodDue())
        armPeriod();
}

void SensorReset::startPeriodIfDue() {
    if (!periodTimer_.armed() && gConfig->sensorResetPeriod.value > 0 && hooks_.periodDue())
        armPeriod();
}

void SensorReset::stopPeriodUnlessDue() {
    if (periodTimer_.armed() && !(gConfig->sensorResetPeriod.value > 0 && hooks_.periodDue()))
        periodTimer_.cancel();
}

void SensorReset::armPeriod() {
    periodTimer_.start("sensorResetPeriod",
                       static_cast<uint32_t>(gConfig->sensorResetPeriod.value * 60000.0f), [this] { run(); });
}
