#pragma once
// The actions everything above the drive may ask of it (DriveCommands), carried out where they belong:
// the parameter download and raw register writes on the pump units' drives, the performance reset by
// the stroke-rate tuning, the thermometer search, and the manual keys through the controller. The
// controller owns it and hands it out.

#include "drive/drive_commands.h"

#include <functional>

class PumpUnit;
class StrokeRateTuning;

class ControllerCommands : public DriveCommands {
public:
    using ManualKey = std::function<void(int unit, bool up, bool pressed)>;

    ControllerCommands(PumpUnit& unit1, PumpUnit& unit2, StrokeRateTuning& tuning, ManualKey manualKey)
        : unit1_(unit1), unit2_(unit2), tuning_(tuning), manualKey_(std::move(manualKey)) {}

    void writeDriveParameters() override;
    void resetPerformanceParameters() override;
    bool writeDriveRegister(int unit, uint16_t reg, uint16_t value) override;
    int searchThermometer() override;
    void manualKey(int unit, bool up, bool pressed) override { manualKey_(unit, up, pressed); }

private:
    PumpUnit& unit1_;
    PumpUnit& unit2_;
    StrokeRateTuning& tuning_;
    ManualKey manualKey_;
};
