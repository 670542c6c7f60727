#include "drive/controller_view.h"

#include "drive/alarm_list.h"
#include "drive/contact_manometer.h"
#include "drive/cooling_supervision.h"
#include "drive/discrete_outputs.h"
#include "drive/dynamogram_recorder.h"
#include "drive/oil_level.h"
#include "drive/output_image.h"
#include "drive/pump_unit.h"

namespace {

// Below it the thermometer has reported nothing yet.
constexpr float kAbsoluteZero = -273.0f;

} // namespace

int ControllerView::modeSwitch(int n) const {
    return unit(n).modeSwitch();
}

std::string ControllerView::currentAlarmText() const {
    return sources_.alarms.currentText();
}

std::vector<std::pair<std::string, std::string>> ControllerView::alarmEntries() const {
    return sources_.alarms.webEntries();
}

bool ControllerView::isAlarmActive(int32_t code) const {
    return sources_.alarms.contains(code);
}

Measurement ControllerView::frequency(int n) const {
    return unit(n).frequency();
}

Measurement ControllerView::current(int n) const {
    return unit(n).current();
}

bool ControllerView::unitFaulty(int n) const {
    return unit(n).faulty();
}

bool ControllerView::pressureSensorOk(int n) const {
    return unit(n).sensor(PumpUnit::kPressureSensor) == kSensorOk;
}

Measurement ControllerView::unitPressure(int n) const {
    return {pressureSensorOk(n), unit(n).pressure};
}

Measurement ControllerView::unitLoad(int n) const {
    return {pressureSensorOk(n), unit(n).load};
}

Measurement ControllerView::oilTemperature() const {
    float celsius = sources_.oilTemperature;
    return {sources_.coolingSupervision.sensorGood() && celsius > kAbsoluteZero, celsius};
}

bool ControllerView::temperatureSensorGood() const {
    return sources_.coolingSupervision.sensorGood();
}

int ControllerView::topSensorState(int n) const {
    return unit(n).topSensor();
}

int ControllerView::bottomSensorState(int n) const {
    return unit(n).bottomSensor();
}

int ControllerView::valveState(int valve) const {
    return unit(valve).sensor(PumpUnit::kValve);
}

bool ControllerView::valveOn(int valve) const {
    return sources_.outputs.on(valve == 1 ? kOutputValve1 : kOutputValve2);
}

int ControllerView::oilLevelState() const {
    return sources_.oilLevel.state();
}

bool ControllerView::ecmActive() const {
    return sources_.manometer.active();
}

const std::deque<std::unique_ptr<DynamogramRecord>>& ControllerView::dynamograms() const {
    return sources_.recorder.records();
}
