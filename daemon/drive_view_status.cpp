#include "daemon/drive_view_status.h"

DriveReadings DriveViewStatus::driveReadings() const {
    DriveReadings readings;
    for (int n = 1; n <= 2; ++n) {
        Measurement current = drive_.current(n);
        Measurement frequency = drive_.frequency(n);
        readings.unit[n - 1] = {current.value, current.valid, frequency.value, frequency.valid};
    }
    Measurement pressure = drive_.pressure();
    readings.pressure = pressure.value;
    readings.pressureValid = pressure.valid;
    readings.load = drive_.load().value;
    // The register map applies the "above -273" test itself; it wants the sensor's verdict only.
    readings.oilTemperature = drive_.oilTemperature().value;
    readings.oilTemperatureValid = drive_.temperatureSensorGood();
    return readings;
}
