#pragma once
// The few actions everything above the drive may ask of it (panel service actions, the web API, the
// manual-mode screen). The controller hands out its ControllerCommands; callers get them handed in.

#include <cstdint>

class DriveCommands {
public:
    virtual ~DriveCommands() = default;

    // The parameter download to both drives ("WriteVFD").
    virtual void writeDriveParameters() = 0;
    // The performance parameters back to their defaults ("ResetPP"), the tuning with them.
    virtual void resetPerformanceParameters() = 0;
    // One holding register of unit 1's or 2's drive written as it is, outside the parameter download;
    // false when the request cannot be queued.
    virtual bool writeDriveRegister(int unit, uint16_t reg, uint16_t value) = 0;
    // The search for the 1-wire thermometer ("ResetTermometer"): the number of sensors that answer;
    // exactly one is stored as the thermometer.
    virtual int searchThermometer() = 0;
    // A manual push button of unit 1 or 2, up or down, pressed or released.
    virtual void manualKey(int unit, bool up, bool pressed) = 0;
};
