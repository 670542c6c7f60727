#pragma once
// The API on a sandboxed board with the virtual clock: a full user and a read-only user, a recording
// drive access, and a browser that keeps the cookies it is sent.

#include "config/config.h"
#include "tests/support/test_board.h"
#include "tests/web/fake_transaction.h"
#include "web/api.h"
#include "web/api_drive_access.h"
#include "web/authentication.h"
#include "web/server_secret.h"
#include "web/user_list.h"

#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

class RecordingDrive : public ApiDriveAccess {
public:
    void liveValues(JsonValue& parameters, JsonValue&) override { parameters["serialNumber"] = "42"; }
    void queueDriveRequest(const std::vector<uint8_t>& request) override { requests.push_back(request); }
    void dynamograms(JsonValue& records) override {
        JsonValue record;
        record["periodMs"] = 6000;
        records.items.push_back(record);
    }

    std::vector<std::vector<uint8_t>> requests;
};

class ApiFixture : public ::testing::Test {
protected:
    ApiFixture() { prepare(makeServerSecret()); }
    explicit ApiFixture(const std::string& secret) { prepare(secret); }

    void prepare(const std::string& secret) {
        mkdir(board.path("/usr/share/velkord").c_str(), 0755);
        writeFile(board.path("/usr/share/velkord/users.txt"),
                  "admin:secret:1:full\nviewer:look:0:read only\n");
        users.load();
        auth = std::make_unique<Authentication>(users, secret);
        api = std::make_unique<Api>(*auth, config.get(), &drive);
    }

    // One request from the browser, which sends its cookies and keeps what it is sent.
    JsonValue call(const std::string& json, const std::string& address = "[127.0.0.1]") {
        FakeTransaction transaction(address);
        transaction.cookies = browserCookies;
        transaction.arguments["json"] = json;
        EXPECT_TRUE(api->handle(transaction));
        EXPECT_EQ(transaction.sentStatus, 200);
        last = transaction.responseHeaders;
        setCookies = transaction.responseHeader("Set-Cookie");
        for (const std::string& header : setCookies) {
            size_t equals = header.find('=');
            size_t end = header.find("; path=/");
            browserCookies[header.substr(0, equals)] = header.substr(equals + 1, end - equals - 1);
        }
        return transaction.answer();
    }

    JsonValue login(const std::string& name, const std::string& password) {
        return call("{\"cmd\":\"login\",\"login\":\"" + name + "\",\"password\":\"" + password + "\"}");
    }

    static std::string error(JsonValue answer) { return answer["error"].text; }
    static std::string error2(JsonValue answer) { return answer["error2"].text; }

    TestBoard board;
    std::unique_ptr<Config> config =
        std::make_unique<Config>(board.path("/etc/velkord"), board.path("/etc/velkord_perf"));
    UserList users;
    RecordingDrive drive;
    std::unique_ptr<Authentication> auth;
    std::unique_ptr<Api> api;
    std::map<std::string, std::string> browserCookies;
    HeaderList last;
    std::vector<std::string> setCookies;
};
