#pragma once
// The "/api" endpoint: one JSON request object naming a command in "cmd", one JSON answer with
// status 200 that repeats "cmd" and carries the results or "error" (and "error2").

#include "web/authentication.h"
#include "web/http_transaction.h"
#include "web/json_value.h"

#include <string>

class ApiDriveAccess;
class Config;

class Api {
public:
    // config and drive may be null: the commands that need them then answer "Unknown command".
    Api(Authentication& authentication, Config* config, ApiDriveAccess* drive)
        : auth_(authentication), config_(config), drive_(drive) {}

    void setConfig(Config* config) { config_ = config; }
    void setDriveAccess(ApiDriveAccess* drive) { drive_ = drive; }

    // Answers the transaction's "json" argument; the result of sending the answer.
    bool handle(HttpTransaction& transaction);
    // Runs the request's command by the command table, checking the permission bits.
    void dispatchCommand(JsonValue& request, JsonValue& response);

    struct Command {
        const char* name;
        uint32_t requiredBits;
        void (Api::*handler)(JsonValue& request, JsonValue& response);
    };

private:
    void login(JsonValue& request, JsonValue& response);
    void chpass(JsonValue& request, JsonValue& response);
    void certinfo(JsonValue& request, JsonValue& response);
    void certs(JsonValue& request, JsonValue& response);
    // The settings by web name.
    void parameters(JsonValue& request, JsonValue& response);
    void setParameter(JsonValue& request, JsonValue& response);
    // The commands that read or drive the controller, through ApiDriveAccess.
    void parametersRO(JsonValue& request, JsonValue& response);
    void writeVFD(JsonValue& request, JsonValue& response);
    // For the browser interface: the recent dynamogram cycles and the newest journal lines.
    void dynamograms(JsonValue& request, JsonValue& response);
    void journal(JsonValue& request, JsonValue& response);

    static const Command kCommands[];

    Authentication& auth_;
    Config* config_;
    ApiDriveAccess* drive_;
};

// The 6-byte Modbus RTU request writing one drive register (function 6), without its CRC.
std::vector<uint8_t> writeRegisterRequest(int vfdAddr, int address, int value);
