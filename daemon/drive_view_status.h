#pragma once
// The drive's measurements as the SCADA slave reads them. The slave sits below the drive, so it defines
// the narrow interface it needs (fieldbus/drive_status.h) and the daemon fills it from the drive's
// read-only view.

#include "drive/drive_view.h"
#include "fieldbus/drive_status.h"

class DriveViewStatus : public DriveStatus {
public:
    explicit DriveViewStatus(const DriveView& drive) : drive_(drive) {}
    DriveReadings driveReadings() const override;

private:
    const DriveView& drive_;
};
