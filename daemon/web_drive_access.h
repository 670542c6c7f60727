#pragma once
// The web API's side of the drive: the live values and alarms from the drive's read-only view and the
// configuration, the completed dynamogram cycles, and raw requests queued on the drive bus.

#include "drive/drive_view.h"
#include "web/api_drive_access.h"

class Config;
class SMBus;

class WebDriveAccess : public ApiDriveAccess {
public:
    WebDriveAccess(const DriveView& drive, const Config& config, SMBus& driveBus)
        : drive_(drive), config_(config), driveBus_(driveBus) {}

    void liveValues(JsonValue& parameters, JsonValue& alarms) override;
    void queueDriveRequest(const std::vector<uint8_t>& request) override;
    void dynamograms(JsonValue& records) override;

private:
    const DriveView& drive_;
    const Config& config_;
    SMBus& driveBus_;
};
