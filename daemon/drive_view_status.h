#pragma once
// The drive's measurements as the SCADA slave reads them: the slave's own narrow interface
// (fieldbus/drive_status.h), filled from the controller.

#include "drive/controller.h"
#include "fieldbus/drive_status.h"

class DriveViewStatus : public DriveStatus {
public:
    explicit DriveViewStatus(const Controller& drive) : drive_(drive) {}
    DriveReadings driveReadings() const override;

private:
    const Controller& drive_;
};
