// The sensors' power reset: output 19 switches the sensors off for sensorResetDuration seconds. It
// runs in the rod overload sequence and every sensorResetPeriod minutes while a sensor is faulty (or
// the oil is low, unless sensorResetOnLowOil is off).

#include "config/config.h"
#include "core/registry.h"
#include "drive/alarm_list.h"
#include "drive/controller.h"

void Controller::resetSensors() {
    float duration = gConfig->sensorResetDuration.value;
    if (duration <= 0) {
        finishSensorReset();
        return;
    }
    setOutput(kSensorPower, true);
    sensorResetTimer_.start("sensordReset", static_cast<uint32_t>(duration * 1000.0f),
                            [this] { finishSensorReset(); });
}

void Controller::finishSensorReset() {
    setOutput(kSensorPower, false);
    if (state_ == kOverload)
        continueOverloadDescent();
    if (sensorResetPeriodDue())
        armSensorResetPeriod();
}

bool Controller::sensorResetPeriodDue() const {
    if (gConfig->sensorResetPeriod.value <= 0)
        return false;
    return alarms_->sensorFault() ||
           (isAlarmActive(kAlarmLowOil) && gConfig->sensorResetOnLowOil.current == 0);
}

void Controller::armSensorResetPeriod() {
    sensorResetPeriodTimer_.start("sensorResetPeriod",
                                  static_cast<uint32_t>(gConfig->sensorResetPeriod.value * 60000.0f),
                                  [this] { resetSensors(); });
}
