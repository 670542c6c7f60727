#pragma once
// What the API commands need from the drive: the settings by web name, the live values and alarms of
// the controller's read-only view, and the drive bus. The daemon binds it; without it those commands
// answer "Unknown command".

#include "web/json_value.h"

#include <cstdint>
#include <string>
#include <vector>

class ApiDriveAccess {
public:
    virtual ~ApiDriveAccess() = default;
    // "parameters": one member per setting with a web name.
    virtual void parameters(JsonValue& parameters) = 0;
    // Sets the setting of that web name through its setter (the value already has the type the name
    // needs); false with "error" in the response ("unknown parameter") when nothing was set.
    virtual bool setParameter(const std::string& webName, const JsonValue& value, JsonValue& response) = 0;
    // "parametersRO": the live values, and one member per active alarm.
    virtual void liveValues(JsonValue& parameters, JsonValue& alarms) = 0;
    // Queues a Modbus RTU request (without its CRC) on the drive bus; no answer is awaited.
    virtual void queueDriveRequest(const std::vector<uint8_t>& request) = 0;
};
