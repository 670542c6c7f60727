// The pressure sensor's plausibility, judged at every top reversal: the motors' mean power over the up
// stroke and the stroke's speed imply the pressure in the cylinder (power = pressure x area x stroke
// length / up-stroke time). When the largest or smallest pressure measured on the way up deviates from
// it by more than pressSensorMalfuncAutodetect percent, the sensor is taken as faulty (alarm 22).

#include "config/config.h"
#include "core/registry.h"
#include "drive/controller.h"

#include <algorithm>
#include <cmath>

void Controller::checkPressurePlausibility() {
    float tolerance = gConfig->pressSensorMalfuncAutodetect.value;
    if (tolerance < 0 || !pressureSensorOk(1) || upStrokeMs_ == 0)
        return;
    float power = 0;
    for (int n = 1; n <= 2; ++n)
        if (unit(n).powerSamples() > 0)
            power += unit(n).powerSum() / unit(n).powerSamples();
    float area = gConfig->cylinderArea.value / 10000.0f;
    float length = gConfig->strokeLength.value;
    if (power <= 0 || area <= 0 || length <= 0)
        return;
    float implied = power * (upStrokeMs_ / 1000.0f) / (area * length);
    const PumpUnit& drive = *unit1_;
    float deviation = std::max(std::fabs(drive.gaugeMaxPa - implied), std::fabs(drive.gaugeMinPa - implied));
    if (deviation / implied * 100.0f > tolerance)
        raiseAlarm(makeAlarm(kAlarmPressureSensorFault));
    else
        clearAlarm(kAlarmPressureSensorFault);
}
