#pragma once
// What the API commands need from the drive: the live values and alarms of the controller's read-only
// view, and the drive bus. The daemon binds it; without it those commands answer "Unknown command".

#include "web/json_value.h"

#include <cstdint>
#include <string>
#include <vector>

class ApiDriveAccess {
public:
    virtual ~ApiDriveAccess() = default;
    // "parametersRO": the live values, and one member per active alarm.
    virtual void liveValues(JsonValue& parameters, JsonValue& alarms) = 0;
    // Queues a Modbus RTU request (without its CRC) on the drive bus; no answer is awaited.
    virtual void queueDriveRequest(const std::vector<uint8_t>& request) = 0;
    // "dynamograms": one hash per completed cycle the controller keeps, oldest first, into records (an
    // array): "upLoads" and "downLoads" (kgf, one sample per "samplePeriodMs"), "minLoad",
    // "maxLoad", "periodMs" (0 while unknown) and "strokesPerMinute".
    virtual void dynamograms(JsonValue& records) = 0;
};
