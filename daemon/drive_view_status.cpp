#include "core/controller_drive_status.h"

DriveReadings ControllerDriveStatus::driveReadings() const {
    DriveReadings readings;
    for (int n = 1; n <= 2; ++n) {
        Measurement current = controller_.current(n);
        Measurement frequency = controller_.frequency(n);
        readings.unit[n - 1] = {current.value, current.valid, frequency.value, frequency.valid};
    }
    Measurement pressure = controller_.pressure();
    readings.pressure = pressure.value;
    readings.pressureValid = pressure.valid;
    readings.load = controller_.load().value;
    // The register map applies the "above -273" test itself; it wants the sensor's verdict only.
    readings.oilTemperature = controller_.oilTemperature().value;
    readings.oilTemperatureValid = controller_.temperatureSensorGood();
    return readings;
}
