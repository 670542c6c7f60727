#pragma once
// What the oil thermometer (periph/ds1820.h) tells the drive: every good reading, and its verdict on
// the sensor, which the drive keeps as a flag the thermometer reads back. The controller implements it.

class OilTemperatureInput {
public:
    virtual ~OilTemperatureInput() = default;

    // A new oil temperature (°C).
    virtual void onOilTemperature(float celsius) = 0;
    // The sensor is good again, or has failed (alarm 21).
    virtual void setTemperatureSensorState(bool good) = 0;
    virtual bool temperatureSensorGood() const = 0;
};
