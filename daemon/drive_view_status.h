#pragma once
// The controller's measurements as the SCADA slave reads them.

#include "drive/controller.h"
#include "fieldbus/drive_status.h"

class ControllerDriveStatus : public DriveStatus {
public:
    explicit ControllerDriveStatus(const Controller& controller) : controller_(controller) {}
    DriveReadings driveReadings() const override;

private:
    const Controller& controller_;
};
