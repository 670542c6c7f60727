// The web server in a running velkord-sim, reached with curl as a browser would: HTTP/2 over TLS on a
// fresh sandbox, the README's user, the live values of the stroking unit, a setting changed and
// journalled, and a raw register write reaching the simulated drive.

#include "tests/support/emulation.h"
#include "tests/support/free_port.h"
#include "tests/support/peers.h"
#include "tests/support/process.h"
#include "tests/support/sim_control_client.h"
#include "tests/support/temp_dir.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

const std::string kSim = VELKORD_SIM_PATH;
const std::string kReadme = std::string(VELKORD_SOURCE_DIR) + "/README.md";

// Runs a shell command and gives its standard output.
std::string run(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return output;
    std::array<char, 4096> buffer{};
    size_t got = 0;
    while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        output.append(buffer.data(), got);
    pclose(pipe);
    return output;
}

// The text after "key" up to the next quote, comma or brace of a flat JSON answer.
std::string member(const std::string& json, const std::string& key) {
    size_t at = json.find("\"" + key + "\":");
    if (at == std::string::npos)
        return "";
    size_t begin = at + key.size() + 3;
    if (json[begin] == '"')
        return json.substr(begin + 1, json.find('"', begin + 1) - begin - 1);
    return json.substr(begin, json.find_first_of(",}", begin) - begin);
}

// The README's line "`name` / `password`" for the user with that permission text.
void readmeUser(const std::string& marker, std::string& name, std::string& password) {
    std::string readme = readFile(kReadme);
    size_t line = readme.find(marker);
    ASSERT_NE(line, std::string::npos) << "README names no user " << marker;
    size_t start = readme.rfind('\n', line) + 1;
    std::string text = readme.substr(start, readme.find('\n', start) - start);
    size_t first = text.find('`');
    size_t firstEnd = text.find('`', first + 1);
    size_t second = text.find('`', firstEnd + 1);
    size_t secondEnd = text.find('`', second + 1);
    ASSERT_NE(secondEnd, std::string::npos) << text;
    name = text.substr(first + 1, firstEnd - first - 1);
    password = text.substr(second + 1, secondEnd - second - 1);
}

class WebSim : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_PEERS(kCurl);
        httpsPort = freeTcpPort();
        sim = std::make_unique<Process>(
            std::vector<std::string>{kSim, "--root", root, "--http-port", std::to_string(freeTcpPort()),
                                     "--https-port", std::to_string(httpsPort), "--modbus-port",
                                     std::to_string(freeTcpPort())},
            dir / "stderr");
        ASSERT_TRUE(waitUntil(10000, [&] { return simCommand(socket(), "time", 1000).rfind("ok", 0) == 0; }))
            << readFile(dir / "stderr");
    }
    void TearDown() override {
        sim->signal(SIGTERM);
        EXPECT_EQ(sim->wait(10000), 0) << readFile(dir / "stderr");
    }
    std::string socket() { return root + "/sim.sock"; }
    std::string url(const std::string& path) {
        return "https://127.0.0.1:" + std::to_string(httpsPort) + path;
    }
    // One API call over HTTP/2 keeping the cookies in the jar; the headers go to dir/headers.
    std::string call(const std::string& json) {
        writeFile(dir / "request", json);
        return run("curl -sk --http2 -c " + dir / "jar" + " -b " + dir / "jar" + " -D " + dir / "headers" +
                   " -H 'Content-Type: application/json' --data-binary @" + dir / "request" + " " +
                   url("/api"));
    }

    TempDir dir;
    std::string root = dir / "run";
    int httpsPort = 0;
    std::unique_ptr<Process> sim;
};

TEST_F(WebSim, FreshSandboxAnswersOverHttp2WithTheShippedInterfaceAndItsOwnCertificate) {
    std::string answer =
        run("curl -sk --http2 -o " + dir / "index" + " -w '%{http_version} %{http_code}' " + url("/"));
    EXPECT_EQ(answer, "2 200");
    EXPECT_NE(readFile(dir / "index").find("<title>"), std::string::npos);
    EXPECT_EQ(readFile(root + "/srv/www/app.js"), readFile(std::string(VELKORD_BUILD_DIR) + "/www/app.js"));
    // The certificate was made for this sandbox: it is what the server presents.
    std::string presented = run("openssl s_client -connect 127.0.0.1:" + std::to_string(httpsPort) +
                                " -alpn h2 </dev/null 2>/dev/null | openssl x509 -noout -fingerprint");
    std::string made = run("openssl x509 -noout -fingerprint -in " + root + "/usr/share/velkord/server.cer");
    EXPECT_FALSE(made.empty());
    EXPECT_EQ(presented, made);
}

TEST_F(WebSim, ReadmeUserLogsInReadsLiveValuesAndChangesTheStrokeRate) {
    std::string name;
    std::string password;
    readmeUser("полный доступ", name, password);
    EXPECT_EQ(call("{\"cmd\":\"login\",\"login\":\"" + name + "\",\"password\":\"" + password + "\"}"),
              "{\"cmd\":\"login\"}");
    std::string headers = readFile(dir / "headers");
    for (const char* cookie : {"login=", "time=", "nonce=", "password="})
        EXPECT_NE(headers.find(std::string("set-cookie: ") + cookie), std::string::npos) << headers;

    // The stroking unit: its drive runs and its load is measured.
    std::string live;
    ASSERT_TRUE(waitUntil(realTimeLimit(15000), [&] {
        live = call("{\"cmd\":\"parametersRO\"}");
        return std::atof(member(live, "F1").c_str()) > 30.0;
    })) << live;
    EXPECT_EQ(member(live, "serialNumber"), "SIM-0001");
    std::string drive = simCommand(socket(), "drive 1 state", 1000);
    EXPECT_NE(drive.find("run=1"), std::string::npos) << drive;
    EXPECT_GT(std::atof(member(live, "current1").c_str()), 0.0) << live;
    EXPECT_NE(member(live, "G1"), "н/д") << live;

    EXPECT_EQ(call("{\"cmd\":\"setParameter\",\"parameter\":\"ns\",\"value\":4.25}"),
              "{\"cmd\":\"setParameter\"}");
    EXPECT_EQ(member(call("{\"cmd\":\"parameters\"}"), "ns"), "4.25");
    EXPECT_NE(readFile(root + "/etc/velkord").find("<nSwings>4.25</nSwings>"), std::string::npos);
    EXPECT_NE(readFile(root + "/var/log/events").find("изменена: 3.00 --> 4.25"), std::string::npos)
        << readFile(root + "/var/log/events");
    EXPECT_NE(readFile(dir / "stderr").find(name + " from 127.0.0.1: настройка изменена через web API"),
              std::string::npos);
    // The journal command shows the change, newest first.
    std::string journal = call("{\"cmd\":\"journal\",\"lines\":50}");
    EXPECT_NE(journal.find("изменена: 3.00 --> 4.25"), std::string::npos) << journal;
}

TEST_F(WebSim, WriteVfdReachesTheSimulatedDriveAndReadOnlyUserMayNot) {
    std::string name;
    std::string password;
    readmeUser("только чтение", name, password);
    call("{\"cmd\":\"login\",\"login\":\"" + name + "\",\"password\":\"" + password + "\"}");
    std::string refused = call("{\"cmd\":\"writeVFD\",\"vfdAddr\":1,\"address\":8193,\"value\":1234}");
    EXPECT_EQ(member(refused, "error"), "access denied");

    readmeUser("полный доступ", name, password);
    call("{\"cmd\":\"login\",\"login\":\"" + name + "\",\"password\":\"" + password + "\"}");
    std::string state = simCommand(socket(), "drive 1 state", 1000);
    size_t at = state.find(" address=");
    ASSERT_NE(at, std::string::npos) << state;
    int vfdAddr = std::atoi(state.c_str() + at + 9);
    EXPECT_EQ(call("{\"cmd\":\"writeVFD\",\"vfdAddr\":" + std::to_string(vfdAddr) +
                   ",\"address\":8193,\"value\":1234}"),
              "{\"cmd\":\"writeVFD\"}");
    std::string written;
    EXPECT_TRUE(waitUntil(5000, [&] {
        written = simCommand(socket(), "drive 1 written", 1000);
        return written.find("6:0x2001=1234") != std::string::npos;
    })) << written;
}

} // namespace
