#include "tests/support/peers.h"
#include "tests/support/process.h"
#include "tests/web/api_fixture.h"

#include <sys/stat.h>

namespace {

class ApiCommands : public ApiFixture {
protected:
    // A fresh self-signed pair made by the openssl program.
    void makePair(const std::string& name, const std::string& subject) {
        REQUIRE_PEERS(kOpenssl);
        Process openssl({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                         "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                         board.path("/tmp/" + name + ".key"), "-out", board.path("/tmp/" + name + ".cer"),
                         "-days", "2", "-subj", subject},
                        board.path("/tmp/openssl.log"));
        ASSERT_EQ(openssl.wait(20000), 0) << readFile(board.path("/tmp/openssl.log"));
    }
    std::string certsRequest(const std::string& cert, const std::string& key) {
        JsonValue request;
        request["cmd"] = "certs";
        request["sslcert"] = cert;
        request["sslkey"] = key;
        return serializeJson(request);
    }
};

} // namespace

TEST_F(ApiCommands, TheEnvelopeAnswersMissingBrokenAndNamelessRequests) {
    EXPECT_EQ(serializeJson(call("")), "{\"cmd\":\"\",\"error\":\"No request\"}");
    EXPECT_EQ(serializeJson(call("{\"cmd\":")), "{\"cmd\":\"\",\"error\":\"Invalid request\"}");
    EXPECT_EQ(serializeJson(call(std::string(100000, '['))), "{\"cmd\":\"\",\"error\":\"Invalid request\"}");
    EXPECT_EQ(serializeJson(call("{}")), "{\"cmd\":\"\",\"error\":\"no \\\"cmd\\\" field\"}");
    login("viewer", "look");
    EXPECT_EQ(serializeJson(call("{\"cmd\":5}")), "{\"cmd\":\"\",\"error\":\"'cmd' field must be string\"}");
    EXPECT_EQ(error(call("{\"cmd\":\"reboot\"}")), "Unknown command");
    // A client's own server-side members are overwritten.
    EXPECT_EQ(
        error(call("{\"cmd\":\"writeVFD\",\"_PERMISSIONS\":1,\"vfdAddr\":1,\"address\":1,\"value\":1}")),
        "access denied");
}

TEST_F(ApiCommands, AReadOnlyUserIsDeniedTheCommandsThatChangeTheController) {
    login("viewer", "look");
    for (const char* command : {"setParameter", "writeVFD", "certs"}) {
        JsonValue answer = call(std::string("{\"cmd\":\"") + command + "\"}");
        EXPECT_EQ(answer["cmd"].text, command);
        EXPECT_EQ(error(answer), "access denied") << command;
    }
    JsonValue parameters = call("{\"cmd\":\"parameters\"}");
    EXPECT_EQ(parameters.find("error"), nullptr);
    EXPECT_EQ(parameters["parameters"].members.size(), 103u);
    EXPECT_EQ(parameters["parameters"]["ns"].number, static_cast<double>(config->nSwings.value));
    EXPECT_EQ(serializeJson(call("{\"cmd\":\"parametersRO\"}")),
              "{\"alarms\":{},\"cmd\":\"parametersRO\",\"parameters\":{\"serialNumber\":\"42\"}}");
    EXPECT_EQ(call("{\"cmd\":\"certinfo\"}")["certinfo"].text, "нет сертификата");
    EXPECT_TRUE(drive.requests.empty());
}

TEST_F(ApiCommands, WriteVfdQueuesTheWriteRegisterRequest) {
    login("admin", "secret");
    EXPECT_EQ(serializeJson(call("{\"cmd\":\"writeVFD\",\"vfdAddr\":1.9,\"address\":8192,\"value\":6}")),
              "{\"cmd\":\"writeVFD\"}");
    ASSERT_EQ(drive.requests.size(), 1u);
    EXPECT_EQ(drive.requests[0], (std::vector<uint8_t>{0x01, 0x06, 0x20, 0x00, 0x00, 0x06}));
    EXPECT_EQ(error(call("{\"cmd\":\"writeVFD\",\"vfdAddr\":1,\"value\":6}")), "no 'address' field");
    EXPECT_EQ(error(call("{\"cmd\":\"writeVFD\",\"vfdAddr\":\"1\",\"address\":1,\"value\":6}")),
              "'vfdAddr' field must be number");
    EXPECT_EQ(drive.requests.size(), 1u);
}

TEST_F(ApiCommands, SetParameterChecksTheValueTypeByNameAndLogsTheChange) {
    login("admin", "secret");
    EXPECT_EQ(error(call("{\"cmd\":\"setParameter\",\"parameter\":\"nsMin\",\"value\":\"3\"}")),
              "value must be a number");
    EXPECT_EQ(error(call("{\"cmd\":\"setParameter\",\"parameter\":\"nope\",\"value\":3}")),
              "unknown parameter");
    EXPECT_EQ(error(call("{\"cmd\":\"setParameter\",\"parameter\":\"nope\",\"value\":\"x\"}")),
              "value must be a number");
    EXPECT_EQ(error(call("{\"cmd\":\"setParameter\",\"parameter\":\"wellName\",\"value\":3}")),
              "value must be a string");
    EXPECT_EQ(error(call("{\"cmd\":\"setParameter\",\"parameter\":\"ns\"}")), "no 'value' field");
    EXPECT_EQ(error(call("{\"cmd\":\"setParameter\",\"value\":1}")), "no 'parameter' field");
    EXPECT_TRUE(board.logLinesWith(LOG_INFO, "через web API").empty());
    EXPECT_EQ(serializeJson(call("{\"cmd\":\"setParameter\",\"parameter\":\"ns\",\"value\":6.5}")),
              "{\"cmd\":\"setParameter\"}");
    EXPECT_FLOAT_EQ(config->nSwings.value, 6.5f);
    EXPECT_EQ(serializeJson(call("{\"cmd\":\"setParameter\",\"parameter\":\"pdpType\",\"value\":1.9}")),
              "{\"cmd\":\"setParameter\"}");
    EXPECT_EQ(config->pdpType.current, 1);
    EXPECT_EQ(call("{\"cmd\":\"parameters\"}")["parameters"]["pdpType"].number, 1);
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "admin from [127.0.0.1]: настройка изменена через web API").size(),
              2u);
}

TEST_F(ApiCommands, WithoutADriveOrSettingsTheirCommandsAreUnknown) {
    api->setDriveAccess(nullptr);
    api->setConfig(nullptr);
    login("admin", "secret");
    EXPECT_EQ(error(call("{\"cmd\":\"setParameter\",\"parameter\":\"ns\",\"value\":1}")), "Unknown command");
    for (const char* command : {"parameters", "parametersRO"})
        EXPECT_EQ(error(call(std::string("{\"cmd\":\"") + command + "\"}")), "Unknown command");
    EXPECT_EQ(error(call("{\"cmd\":\"writeVFD\",\"vfdAddr\":1,\"address\":1,\"value\":1}")),
              "Unknown command");
}

TEST_F(ApiCommands, CertsReplacesThePairOnDiskAndCertinfoDescribesIt) {
    makePair("first", "/CN=velkord-first");
    login("admin", "secret");
    std::string cert = readFile(board.path("/tmp/first.cer"));
    std::string key = readFile(board.path("/tmp/first.key"));
    EXPECT_EQ(serializeJson(call(certsRequest(cert, key))), "{\"cmd\":\"certs\"}");
    EXPECT_EQ(readFile(board.path("/usr/share/velkord/server.cer")), cert);
    EXPECT_EQ(readFile(board.path("/usr/share/velkord/server.key")), key);
    struct stat status;
    ASSERT_EQ(stat(board.path("/usr/share/velkord/server.key").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_FALSE(fileExists(board.path("/usr/share/velkord/server.key.tmp")));
    EXPECT_FALSE(fileExists(board.path("/usr/share/velkord/server.cer.tmp")));

    JsonValue info = call("{\"cmd\":\"certinfo\"}")["certinfo"];
    EXPECT_EQ(info["subject"].text, "/CN=velkord-first");
    EXPECT_EQ(info["issuer"].text, "/CN=velkord-first");
    EXPECT_NE(info["notBefore"].text.find("GMT"), std::string::npos);
    EXPECT_NE(info["notAfter"].text.find("GMT"), std::string::npos);
    EXPECT_FALSE(info["serial"].text.empty());
    EXPECT_EQ(info["serial"].text.find_first_not_of("0123456789ABCDEF"), std::string::npos)
        << info["serial"].text;
}

TEST_F(ApiCommands, CertsRefusesABrokenCertificateOrKeyAndKeepsThePair) {
    makePair("first", "/CN=velkord-first");
    writeFile(board.path("/usr/share/velkord/server.cer"), "old cert");
    login("admin", "secret");
    std::string cert = readFile(board.path("/tmp/first.cer"));
    std::string key = readFile(board.path("/tmp/first.key"));
    std::string answer = error(call(certsRequest("garbage", key)));
    EXPECT_EQ(answer.rfind("Ошибка загрузки сертификата платы: ", 0), 0u) << answer;
    EXPECT_GT(answer.size(), std::string("Ошибка загрузки сертификата платы: ").size());
    answer = error(call(certsRequest(cert, "garbage")));
    EXPECT_EQ(answer.rfind("Ошибка загрузки ключа: ", 0), 0u) << answer;
    EXPECT_EQ(error(call("{\"cmd\":\"certs\",\"sslcert\":\"x\"}")), "no 'sslkey' field");
    EXPECT_EQ(readFile(board.path("/usr/share/velkord/server.cer")), "old cert");
    EXPECT_FALSE(fileExists(board.path("/usr/share/velkord/server.key")));
}
