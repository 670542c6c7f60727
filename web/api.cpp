#include "web/api.h"

#include "core/log.h"
#include "web/api_drive_access.h"
#include "web/api_settings.h"
#include "web/journal_tail.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

uint32_t toPermissions(double number) {
    if (!(number >= 0) || number > 4294967295.0)
        return 0;
    return static_cast<uint32_t>(number);
}

int truncatedInt(double number) {
    if (!(number > -2147483649.0 && number < 2147483648.0))
        return 0;
    return static_cast<int>(number);
}

bool isTextSetting(const std::string& webName) {
    return webName == "wellName" || webName == "wellComment" || webName == "apn";
}

} // namespace

const Api::Command Api::kCommands[] = {
    {"login", 0, &Api::login},
    {"chpass", 0, &Api::chpass},
    {"parameters", 0, &Api::parameters},
    {"setParameter", 1, &Api::setParameter},
    {"parametersRO", 0, &Api::parametersRO},
    {"certinfo", 0, &Api::certinfo},
    // Replacing the TLS key and certificate changes the controller's security: permission bit 1.
    {"certs", 1, &Api::certs},
    {"writeVFD", 1, &Api::writeVFD},
    {"dynamograms", 0, &Api::dynamograms},
    {"journal", 0, &Api::journal},
};

bool Api::handle(HttpTransaction& transaction) {
    JsonValue response;
    response["cmd"] = "";
    JsonValue request;
    auto requestText = transaction.arguments.find("json");
    if (requestText == transaction.arguments.end() || requestText->second.empty()) {
        response["error"] = "No request";
    } else if (!parseJson(requestText->second, request)) {
        response["error"] = "Invalid request";
    } else {
        request["_REMOTEADDR"] = transaction.remoteAddress();
        request["_PERMISSIONS"] = 0;
        const JsonValue* cmd = request.find("cmd");
        if (!cmd) {
            response["error"] = "no \"cmd\" field";
        } else {
            response["cmd"] = cmd->type == kJsonString ? cmd->text : std::string();
            if (cmd->type == kJsonString && cmd->text == "login") {
                dispatchCommand(request, response);
                auth_.completeLogin(transaction, request, response);
            } else if (auth_.authenticate(transaction, request, response)) {
                dispatchCommand(request, response);
            }
        }
    }
    std::string body = serializeJson(response);
    transaction.addResponseHeader("Content-Type", "application/json; charset=utf-8");
    transaction.addResponseHeader("Cache-Control", "no-cache");
    for (const auto& [name, value] : transaction.cookies)
        transaction.addResponseHeader("Set-Cookie", name + "=" + value + "; path=/");
    return transaction.sendResponse(200, std::make_unique<ResponseFromMemory>(std::move(body)));
}

void Api::dispatchCommand(JsonValue& request, JsonValue& response) {
    const JsonValue* cmd = requiredField(request, response, "cmd", kJsonString);
    if (!cmd)
        return;
    std::string name = cmd->text;
    response["cmd"] = name;
    const JsonValue* permissionsField = requiredField(request, response, "_PERMISSIONS", kJsonNumber);
    if (!permissionsField)
        return;
    uint32_t permissions = toPermissions(permissionsField->number);
    for (const Command& command : kCommands) {
        if (name != command.name)
            continue;
        if ((permissions & command.requiredBits) != command.requiredBits) {
            response["error"] = "access denied";
            return;
        }
        (this->*command.handler)(request, response);
        return;
    }
    response["error"] = "Unknown command";
}

void Api::login(JsonValue& request, JsonValue& response) {
    auth_.login(request, response);
}

void Api::chpass(JsonValue& request, JsonValue& response) {
    auth_.chpass(request, response);
}

void Api::parameters(JsonValue&, JsonValue& response) {
    if (!config_) {
        response["error"] = "Unknown command";
        return;
    }
    settingsToJson(*config_, response["parameters"]);
}

void Api::setParameter(JsonValue& request, JsonValue& response) {
    if (!config_) {
        response["error"] = "Unknown command";
        return;
    }
    const JsonValue* name = requiredField(request, response, "parameter", kJsonString);
    if (!name)
        return;
    const JsonValue* value = request.find("value");
    if (!value) {
        response["error"] = "no 'value' field";
        return;
    }
    if (isTextSetting(name->text) && value->type != kJsonString) {
        response["error"] = "value must be a string";
        return;
    }
    if (!isTextSetting(name->text) && value->type != kJsonNumber) {
        response["error"] = "value must be a number";
        return;
    }
    if (!setSettingByWebName(*config_, name->text, *value, response))
        return;
    userLogLine(LOG_INFO, request, "настройка изменена через web API");
}

void Api::parametersRO(JsonValue&, JsonValue& response) {
    if (!drive_) {
        response["error"] = "Unknown command";
        return;
    }
    JsonValue& parameters = response["parameters"];
    parameters.type = kJsonHash;
    JsonValue alarms;
    alarms.type = kJsonHash;
    drive_->liveValues(parameters, alarms);
    response["alarms"] = alarms;
}

void Api::writeVFD(JsonValue& request, JsonValue& response) {
    if (!drive_) {
        response["error"] = "Unknown command";
        return;
    }
    const JsonValue* vfdAddr = requiredField(request, response, "vfdAddr", kJsonNumber);
    if (!vfdAddr)
        return;
    const JsonValue* address = requiredField(request, response, "address", kJsonNumber);
    if (!address)
        return;
    const JsonValue* value = requiredField(request, response, "value", kJsonNumber);
    if (!value)
        return;
    drive_->queueDriveRequest(writeRegisterRequest(
        truncatedInt(vfdAddr->number), truncatedInt(address->number), truncatedInt(value->number)));
}

std::vector<uint8_t> writeRegisterRequest(int vfdAddr, int address, int value) {
    const uint8_t kWriteSingleRegister = 6;
    return {static_cast<uint8_t>(vfdAddr & 0xff),      kWriteSingleRegister,
            static_cast<uint8_t>(address >> 8 & 0xff), static_cast<uint8_t>(address & 0xff),
            static_cast<uint8_t>(value >> 8 & 0xff),   static_cast<uint8_t>(value & 0xff)};
}

void Api::dynamograms(JsonValue&, JsonValue& response) {
    if (!drive_) {
        response["error"] = "Unknown command";
        return;
    }
    JsonValue records;
    records.type = kJsonArray;
    drive_->dynamograms(records);
    response["dynamograms"] = records;
}

void Api::journal(JsonValue& request, JsonValue& response) {
    size_t count = kJournalLinesDefault;
    const JsonValue* wanted = request.find("lines");
    if (wanted && wanted->type == kJsonNumber && wanted->number >= 1)
        count = static_cast<size_t>(std::min<double>(wanted->number, kJournalLinesMax));
    JsonValue lines;
    lines.type = kJsonArray;
    for (const std::string& line : journalTail(count))
        lines.items.push_back(JsonValue(line));
    response["journal"] = lines;
}
