#pragma once
// What the SCADA slave reads of the running drive: the measurements of its input registers and the
// validity flags of its discrete inputs. The controller provides it; without one the slave reads
// every measurement and flag as 0.

// Measurements as the controller holds them, sent without validity tests; the flags say which of them
// can be trusted.
struct DriveReadings {
    struct PumpUnit {
        float motorCurrent = 0;         // A, as the unit's drive reports it
        bool motorCurrentValid = false; // the drive has reported it
        float outputFrequency = 0;      // Hz, as the unit's drive reports it
        bool outputFrequencyValid = false;
    };
    PumpUnit unit[2];                 // pump units 1 and 2
    float pressure = 0;               // P, kgf/cm², measured through pump unit 1's drive
    bool pressureValid = false;       // the pressure sensor of pump unit 1 is good
    float load = 0;                   // G, kgf, derived from that pressure (its validity is the pressure's)
    float oilTemperature = 0;         // °C; -300 until the first measurement
    bool oilTemperatureValid = false; // the oil temperature sensor is marked good
};

class DriveStatus {
public:
    virtual ~DriveStatus() = default;
    // The current readings; called once per SCADA request that needs them.
    virtual DriveReadings driveReadings() const = 0;
};
