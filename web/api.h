#pragma once
// The "/api" endpoint: one JSON request object naming a command in "cmd", one JSON answer with
// status 200 that repeats "cmd" and carries the results or "error" (and "error2").

#include "web/authentication.h"
#include "web/http_transaction.h"
#include "web/json_value.h"

#include <string>

class ApiDriveAccess;

class Api {
public:
    // drive may be null: the drive commands then answer "Unknown command".
    Api(Authentication& authentication, ApiDriveAccess* drive) : auth_(authentication), drive_(drive) {}

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
    // The commands that read or drive the controller, through ApiDriveAccess.
    void parameters(JsonValue& request, JsonValue& response);
    void setParameter(JsonValue& request, JsonValue& response);
    void parametersRO(JsonValue& request, JsonValue& response);
    void writeVFD(JsonValue& request, JsonValue& response);

    static const Command kCommands[];

    Authentication& auth_;
    ApiDriveAccess* drive_;
};

// The 6-byte Modbus RTU request writing one drive register (function 6), without its CRC.
std::vector<uint8_t> writeRegisterRequest(int vfdAddr, int address, int value);
