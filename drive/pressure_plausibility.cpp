#include "drive/pressure_plausibility.h"

#include "config/config.h"
#include "core/registry.h"

#include <algorithm>
#include <cmath>

// The motors' mean power over the up stroke and the stroke's speed imply the pressure in the cylinder
// (power = pressure x area x stroke length / up-stroke time). When the largest or smallest pressure
// measured on the way up deviates from it by more than pressSensorMalfuncAutodetect percent, the
// sensor is taken as faulty.
void judgePressurePlausibility(const PumpUnit& unit1, const PumpUnit& unit2, uint32_t upStrokeMs,
                               SupervisionActions& actions) {
    float tolerance = gConfig->pressSensorMalfuncAutodetect.value;
    if (tolerance < 0 || unit1.sensor(PumpUnit::kPressureSensor) != kSensorOk || upStrokeMs == 0)
        return;
    float power = 0;
    for (const PumpUnit* unit : {&unit1, &unit2})
        if (unit->powerSamples() > 0)
            power += unit->powerSum() / unit->powerSamples();
    float area = gConfig->cylinderArea.value / 10000.0f;
    float length = gConfig->strokeLength.value;
    if (power <= 0 || area <= 0 || length <= 0)
        return;
    float implied = power * (upStrokeMs / 1000.0f) / (area * length);
    const PumpUnit& drive = unit1;
    float deviation = std::max(std::fabs(drive.gaugeMaxPa - implied), std::fabs(drive.gaugeMinPa - implied));
    if (deviation / implied * 100.0f > tolerance)
        actions.raiseAlarm(makeAlarm(kAlarmPressureSensorFault));
    else
        actions.clearAlarm(kAlarmPressureSensorFault);
}
