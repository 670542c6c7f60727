#include "tests/support/emulation.h"
#include "tests/support/free_port.h"
#include "tests/support/process.h"
#include "tests/support/sim_control_client.h"
#include "tests/support/temp_dir.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kSim = VELKORD_SIM_PATH;

// Asks the simulator for the panel's visible texts until `holds` takes them or limitMs pass; the last
// answer stays in `text` for the failure message.
bool waitForPanel(const std::string& socket, std::string& text, int limitMs,
                  const std::function<bool(const std::string&)>& holds) {
    return waitUntil(limitMs, [&] {
        text = simCommand(socket, "text", 1000);
        return holds(text);
    });
}
bool panelShows(const std::string& socket, std::string& text, const std::string& fragment, int limitMs) {
    return waitForPanel(socket, text, limitMs,
                        [&](const std::string& shown) { return shown.find(fragment) != std::string::npos; });
}
bool panelStartsWith(const std::string& socket, std::string& text, const std::string& start, int limitMs) {
    return waitForPanel(socket, text, limitMs,
                        [&](const std::string& shown) { return shown.rfind(start, 0) == 0; });
}

TEST(SimProcess, FreshSandboxStartsJournalsAndStopsCleanlyOnSigterm) {
    TempDir dir;
    std::string root = dir / "sites/well-7/run"; // missing parents are created too
    Process sim({kSim, "--root", root}, dir / "stderr");
    ASSERT_TRUE(sim.started());

    ASSERT_TRUE(waitUntil(10000, [&] {
        return readFile(root + "/var/log/events").find(" velkord started\n") != std::string::npos &&
               readFile(root + "/dev/watchdog") == "W";
    })) << readFile(dir / "stderr");
    sim.signal(SIGTERM);

    EXPECT_EQ(sim.wait(10000), 0) << readFile(dir / "stderr");
    EXPECT_EQ(readFile(root + "/dev/watchdog"), "V");
    EXPECT_NE(readFile(dir / "stderr").find("velkord finished"), std::string::npos);
}

TEST(SimProcess, SandboxIsReusedAndSigintStopsToo) {
    TempDir dir;
    std::string root = dir / "run";
    {
        Process first({kSim, "--root", root, "--speed", "max", "--for", "1"}, dir / "stderr");
        ASSERT_EQ(first.wait(10000), 0) << readFile(dir / "stderr");
    }
    Process second({kSim, "--root=" + root}, dir / "stderr");
    ASSERT_TRUE(waitUntil(10000, [&] { return readFile(root + "/dev/watchdog") == "W"; }));
    second.signal(SIGINT);
    EXPECT_EQ(second.wait(10000), 0);

    std::string journal = readFile(root + "/var/log/events");
    size_t first = journal.find("velkord started");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(journal.find("velkord started", first + 1), std::string::npos); // both runs kept
}

TEST(SimProcess, BothConfigurationFilesAreCreatedAndKeptAcrossRestarts) {
    TempDir dir;
    std::string root = dir / "run";
    {
        Process first({kSim, "--root", root, "--speed", "max", "--for", "1"}, dir / "stderr");
        ASSERT_EQ(first.wait(10000), 0) << readFile(dir / "stderr");
    }
    std::string settings = readFile(root + "/etc/velkord");
    ASSERT_NE(settings.find("<wellName></wellName>"), std::string::npos) << settings;
    EXPECT_NE(readFile(root + "/etc/velkord_perf").find("<perf_params>"), std::string::npos);
    settings.replace(settings.find("<wellName></wellName>"), 21, "<wellName>Скв. 12</wellName>");
    writeFile(root + "/etc/velkord", settings);

    Process second({kSim, "--root", root, "--speed", "max", "--for", "1"}, dir / "stderr");
    ASSERT_EQ(second.wait(10000), 0) << readFile(dir / "stderr");

    EXPECT_NE(readFile(root + "/etc/velkord").find("<wellName>Скв. 12</wellName>"), std::string::npos);
    EXPECT_EQ(readFile(root + "/etc/velkord.bak"), settings);
    EXPECT_NE(readFile(dir / "stderr").find("serial number: SIM-0001"), std::string::npos);
}

TEST(SimProcess, TenSimulatedMinutesAtMaximumSpeedTakeSeconds) {
    TempDir dir;
    auto start = std::chrono::steady_clock::now();
    Process sim({kSim, "--root", dir / "run", "--speed", "max", "--for", "600"}, dir / "stderr");
    EXPECT_EQ(sim.wait(realTimeLimit(120000)), 0) << readFile(dir / "stderr");
    // Twenty times faster than real time even on a loaded machine under the sanitizers (four times
    // under the emulator).
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(realTimeLimit(30)));
}

TEST(SimProcess, DriveBusAndDiscreteIOAreLiveWhileItRuns) {
    TempDir dir;
    std::string root = dir / "run";
    // Its own Modbus TCP port, so that no other simulator's holds it and the field bus logs nothing.
    Process sim({kSim, "--root", root, "--modbus-port", std::to_string(freeTcpPort())}, dir / "stderr");
    ASSERT_TRUE(sim.started());

    // The chain's first exchange powers the outputs; the SCADA port is a pty in the sandbox, the drive
    // bus a line inside the process.
    ASSERT_TRUE(waitUntil(10000, [&] { return readFile(root + "/sys/class/gpio/pioA13/value") == "0\n"; }))
        << readFile(dir / "stderr");
    char target[64] = {};
    ASSERT_GT(::readlink((root + "/dev/ttyS1").c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target).rfind("/dev/pts/", 0), 0u);
    sim.signal(SIGTERM);

    EXPECT_EQ(sim.wait(10000), 0) << readFile(dir / "stderr");
    EXPECT_EQ(readFile(root + "/sys/class/gpio/pioA13/value"), "255\n");
    struct stat link {};
    EXPECT_NE(::lstat((root + "/dev/ttyS1").c_str(), &link), 0); // no link left to a pty reused by others
    EXPECT_EQ(readFile(dir / "stderr").find("smbus:"), std::string::npos) << readFile(dir / "stderr");
    EXPECT_EQ(readFile(dir / "stderr").find("discreteio:"), std::string::npos) << readFile(dir / "stderr");
}

// The value of "key=" in an answer of the control socket.
std::string field(const std::string& answer, const std::string& key) {
    size_t at = answer.find(" " + key + "=");
    if (at == std::string::npos)
        return "";
    size_t begin = at + key.size() + 2;
    return answer.substr(begin, answer.find(' ', begin) - begin);
}

TEST(SimProcess, BothUnitsPollTheirSimulatedDrivesAndAStartTurnsTheMotor) {
    TempDir dir;
    std::string root = dir / "run";
    Process sim({kSim, "--root", root}, dir / "stderr");
    ASSERT_TRUE(sim.started());
    std::string socket = root + "/sim.sock";
    ASSERT_TRUE(waitUntil(realTimeLimit(10000), [&] {
        return simCommand(socket, "time", 1000).rfind("ok", 0) == 0;
    })) << readFile(dir / "stderr");

    // Both drives answer the continuous poll.
    ASSERT_TRUE(waitUntil(realTimeLimit(10000), [&] {
        return std::atoi(field(simCommand(socket, "bus", 1000), "TX").c_str()) > 40;
    }));
    EXPECT_EQ(field(simCommand(socket, "bus", 1000), "TO"), "0");

    // The commissioned unit strokes on НУ1 at its working frequency; НУ2 stands by.
    ASSERT_TRUE(waitUntil(realTimeLimit(10000), [&] {
        return std::atof(field(simCommand(socket, "drive 1 state", 1000), "frequency").c_str()) > 30.0;
    })) << simCommand(socket, "controller", 1000);
    EXPECT_EQ(field(simCommand(socket, "drive 2 state", 1000), "run"), "0");
    std::string controller = simCommand(socket, "controller", 1000);
    EXPECT_TRUE(controller.rfind("ok state=2 mode=2", 0) == 0 ||
                controller.rfind("ok state=4 mode=2", 0) == 0)
        << controller;

    // An over-current trips drive 1: alarm 40, and the unit is taken out until its reclose.
    EXPECT_EQ(simCommand(socket, "drive 1 fault overcurrent", 1000), "ok");
    ASSERT_TRUE(waitUntil(realTimeLimit(10000), [&] {
        return (simCommand(socket, "alarms", 1000) + " ").find(" 40 ") != std::string::npos;
    })) << simCommand(socket, "alarms", 1000);
    EXPECT_TRUE(waitUntil(realTimeLimit(10000), [&] {
        return std::atof(field(simCommand(socket, "drive 1 state", 1000), "frequency").c_str()) == 0.0;
    }));
    EXPECT_EQ(field(simCommand(socket, "drive 2 state", 1000), "run"), "0");
    EXPECT_EQ(simCommand(socket, "drive 3 state", 1000), "error no drive 3");
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.wait(10000), 0) << readFile(dir / "stderr");
}

TEST(SimProcess, OptionsAreCheckedBeforeAnythingStarts) {
    TempDir dir;
    Process help({kSim, "--help"}, dir / "help");
    EXPECT_EQ(help.wait(5000), 0);
    EXPECT_NE(readFile(dir / "help").find("usage"), std::string::npos);

    for (auto arguments : std::vector<std::vector<std::string>>{{kSim, "--bogus"},
                                                                {kSim, "--speed", "fast"},
                                                                {kSim, "--modbus-port", "70000"},
                                                                {kSim, "--for", "inf"},
                                                                {kSim, "--for", "5000000"},
                                                                {kSim, "--speed", "nan"},
                                                                {kSim, "--root"}}) {
        Process bad(arguments, dir / "bad");
        EXPECT_EQ(bad.wait(5000), 2) << arguments[1];
    }
    EXPECT_FALSE(fileExists(dir / "run"));
}

} // namespace

namespace {

TEST(SimProcess, TextReadsTheVisiblePageAndTheKeysLeadToTheDebugScreen) {
    TempDir dir;
    std::string root = dir / "run";
    Process sim({kSim, "--root", root}, dir / "output");
    std::string socket = root + "/sim.sock";
    ASSERT_TRUE(waitUntil(10000, [&] { return simCommand(socket, "time", 200).rfind("ok ", 0) == 0; }))
        << readFile(dir / "output");

    // The main screen: the mode first, then the lines down to the temperature and the time.
    std::string text;
    ASSERT_TRUE(panelShows(socket, text, " | G = ", 10000)) << text;
    EXPECT_NE(text.find(" | НУ1-"), std::string::npos) << text;
    EXPECT_NE(text.find(" | T = "), std::string::npos) << text;
    EXPECT_NE(text.find(" | ЭК2-"), std::string::npos) << text;
    // Right, one tap at a time, until the debug screen shows.
    bool shown = false;
    for (int tap = 0; tap < 6 && !shown; ++tap) {
        ASSERT_EQ(simCommand(socket, "key right"), "ok");
        shown = panelStartsWith(socket, text, "ok Отладочный экран | TX", 1500);
    }
    ASSERT_TRUE(shown) << text;
    EXPECT_NE(text.find(" | Все: "), std::string::npos) << text;
    EXPECT_NE(text.find(" | НУ2: "), std::string::npos) << text;

    EXPECT_EQ(simCommand(socket, "quit"), "ok");
    EXPECT_EQ(sim.wait(10000), 0);
}

TEST(SimProcess, ControlSocketSavesThePanelAsAPngAndTakesKeys) {
    TempDir dir;
    std::string root = dir / "run";
    Process sim({kSim, "--root", root}, dir / "output");
    std::string socket = root + "/sim.sock";
    ASSERT_TRUE(waitUntil(10000, [&] { return simCommand(socket, "time", 200).rfind("ok ", 0) == 0; }))
        << readFile(dir / "output");

    EXPECT_EQ(simCommand(socket, "frame " + dir / "panel.png"), "ok");
    std::string png = readFile(dir / "panel.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(static_cast<unsigned char>(png[19]), 240); // IHDR width, big-endian
    EXPECT_EQ(static_cast<unsigned char>(png[23]), 64);  // and height
    EXPECT_EQ(simCommand(socket, "key enter"), "ok");
    EXPECT_EQ(simCommand(socket, "key 99"),
              "error usage: key 33-38|cancel|left|down|up|enter|right [tap|press|release]");
    EXPECT_EQ(simCommand(socket, "frame /nonexistent/dir/x.png"),
              "error cannot write /nonexistent/dir/x.png");
    EXPECT_EQ(simCommand(socket, "plant set oil nan"), "error usage: plant set NAME VALUE");
    EXPECT_EQ(simCommand(socket, "plant set fill inf"), "error usage: plant set NAME VALUE");
    EXPECT_EQ(simCommand(socket, "plant set fill 0.6"), "ok");

    EXPECT_EQ(simCommand(socket, "quit"), "ok");
    EXPECT_EQ(sim.wait(10000), 0);
    EXPECT_FALSE(fileExists(socket));
}

} // namespace

namespace {

TEST(SimProcess, ThePanelShowsTheAlarmListAndTheDownKeyScrollsIt) {
    TempDir dir;
    std::string root = dir / "run";
    Process sim({kSim, "--root", root}, dir / "output");
    std::string socket = root + "/sim.sock";
    ASSERT_TRUE(waitUntil(10000, [&] { return simCommand(socket, "time", 200).rfind("ok ", 0) == 0; }));
    for (const char* fault : {"sensor oil break", "ecm on", "sensor top short", "pressure break"})
        EXPECT_EQ(simCommand(socket, fault), "ok");
    ASSERT_TRUE(waitUntil(10000, [&] { return simCommand(socket, "alarms").rfind("ok 2 3 18 22", 0) == 0; }))
        << simCommand(socket, "alarms");
    ASSERT_TRUE(waitUntil(5000, [&] {
        return simCommand(socket, "frame " + dir / "before.png") == "ok" &&
               readFile(dir / "before.png").size() > 200;
    }));
    std::string presents = simCommand(socket, "presents");

    EXPECT_EQ(simCommand(socket, "key down"), "ok");
    ASSERT_TRUE(waitUntil(5000, [&] { return simCommand(socket, "presents") != presents; }));
    EXPECT_EQ(simCommand(socket, "frame " + dir / "after.png"), "ok");
    EXPECT_NE(readFile(dir / "before.png"), readFile(dir / "after.png"));
    EXPECT_EQ(simCommand(socket, "quit"), "ok");
    EXPECT_EQ(sim.wait(10000), 0);
}

} // namespace

namespace {

// The simulated module dials in and its GPS time reaches the sandbox's NTP segment.
TEST(SimProcess, TheModemFeedsGpsTimeToTheSandboxNtpSegment) {
    TempDir dir;
    std::string root = dir / "run";
    Process sim({kSim, "--root", root, "--speed", "20", "--for", "3600", "--modbus-port",
                 std::to_string(freeTcpPort()), "--http-port", std::to_string(freeTcpPort()), "--https-port",
                 std::to_string(freeTcpPort())},
                dir / "output");
    std::string socket = root + "/sim.sock";
    ASSERT_TRUE(waitUntil(10000, [&] { return simCommand(socket, "time", 200).rfind("ok ", 0) == 0; }))
        << readFile(dir / "output");
    ASSERT_TRUE(waitUntil(20000, [&] {
        return simCommand(socket, "modem ntp").rfind("ok valid=1 ", 0) == 0;
    })) << simCommand(socket, "modem ntp");
    std::string ntp = simCommand(socket, "modem ntp");
    long clock = 0, receive = 0;
    ASSERT_EQ(std::sscanf(ntp.c_str(), "ok valid=1 clock=%ld.%*d receive=%ld.", &clock, &receive), 2) << ntp;
    EXPECT_LE(std::labs(clock - receive), 1) << ntp;
    // Past the start-up dialogue, the module is asked for the operator and the mode every 5 s.
    int commands = 0;
    std::string status = simCommand(socket, "modem status");
    ASSERT_EQ(std::sscanf(status.c_str(), "ok commands=%d", &commands), 1) << status;
    EXPECT_GE(commands, 13) << status;
    EXPECT_NE(status.find("last=AT+C"), std::string::npos) << status;
    // The modem's page, reached with the keys: operator, network mode, signal and the link's addresses;
    // down shows its GPS half with the position.
    ASSERT_EQ(simCommand(socket, "modem ppp up"), "ok");
    std::string text;
    bool shown = false;
    for (int tap = 0; tap < 6 && !shown; ++tap) {
        ASSERT_EQ(simCommand(socket, "key right"), "ok");
        shown = panelStartsWith(socket, text, "ok Режим сети:", 1500);
    }
    ASSERT_TRUE(shown) << text;
    ASSERT_TRUE(waitForPanel(socket, text, 10000, [](const std::string& shown) {
        return shown.find(" | 10.64.1.17") != std::string::npos && shown.find(" дБм") != std::string::npos;
    })) << text;
    EXPECT_NE(text.find(" | MTS RUS | "), std::string::npos) << text;
    EXPECT_NE(text.find(" | WCDMA | "), std::string::npos) << text;
    ASSERT_EQ(simCommand(socket, "key down"), "ok");
    ASSERT_TRUE(panelShows(socket, text, " | GPS | ", 3000)) << text;
    EXPECT_NE(text.find("55°45.1234' с.ш."), std::string::npos) << text;
    EXPECT_NE(text.find("037°37.5678' в.д."), std::string::npos) << text;
    ASSERT_EQ(simCommand(socket, "key up"), "ok");
    EXPECT_TRUE(panelStartsWith(socket, text, "ok Режим сети:", 3000)) << text;
    EXPECT_EQ(simCommand(socket, "modem ppp down"), "ok");
    EXPECT_TRUE(waitForPanel(socket, text, 10000, [](const std::string& shown) {
        return shown.rfind("ok Режим сети:", 0) == 0 && shown.find("10.64.1.17") == std::string::npos;
    })) << text;
    EXPECT_EQ(simCommand(socket, "modem signal 31"), "ok");
    EXPECT_EQ(simCommand(socket, "modem reply sideways"), "error usage: modem reply ok|error|cme|silent");
    EXPECT_EQ(simCommand(socket, "quit"), "ok");
    EXPECT_EQ(sim.wait(10000), 0);
}

} // namespace

namespace {

TEST(SimProcess, TheKeysChangeTheStrokeRateAndTheLogViewerShowsItUnderItsCategory) {
    TempDir dir;
    std::string root = dir / "run";
    Process sim({kSim, "--root", root}, dir / "output");
    std::string socket = root + "/sim.sock";
    ASSERT_TRUE(waitUntil(10000, [&] { return simCommand(socket, "time", 200).rfind("ok ", 0) == 0; }))
        << readFile(dir / "output");

    // A tap holds the key 100 ms: the next one waits for its release.
    auto tap = [&socket](const std::string& key) {
        std::string answer = simCommand(socket, "key " + key);
        usleep(250000);
        return answer;
    };
    std::string text;
    auto shows = [&](const std::string& wanted, int limitMs) {
        return panelShows(socket, text, wanted, limitMs);
    };
    // While the unit starts, a first key may only wake the panel: ВВОД until the menu is open.
    ASSERT_TRUE(waitUntil(5000, [&] {
        if (tap("enter") != "ok")
            return false;
        text = simCommand(socket, "text", 1000);
        return text.find("Общие настройки") != std::string::npos;
    })) << text;
    // "Настройки производительности", its second row "Число качаний": up steps the last digit.
    ASSERT_EQ(tap("down"), "ok");
    ASSERT_EQ(tap("enter"), "ok");
    ASSERT_TRUE(shows("Режим задания числа качаний | Число качаний", 2000)) << text;
    ASSERT_EQ(tap("down"), "ok");
    ASSERT_EQ(tap("enter"), "ok");
    ASSERT_TRUE(shows("ok Число качаний | 03.00", 2000)) << text;
    ASSERT_EQ(tap("up"), "ok");
    ASSERT_TRUE(shows("ok Число качаний | 03.01", 2000)) << text;
    ASSERT_EQ(tap("enter"), "ok");
    ASSERT_TRUE(shows("Режим задания числа качаний | Число качаний", 2000)) << text;
    ASSERT_EQ(tap("cancel"), "ok");
    ASSERT_TRUE(shows("Общие настройки", 2000)) << text;

    // Down from the second place to the eighth, "Просмотр журнала и динамограмм", then
    // "Просмотр журнала".
    for (int place = 2; place < 8; ++place)
        ASSERT_EQ(tap("down"), "ok");
    ASSERT_TRUE(shows("Просмотр журнала и динамограмм", 2000)) << text;
    ASSERT_EQ(tap("enter"), "ok");
    ASSERT_TRUE(waitForPanel(socket, text, 2000, [](const std::string& shown) {
        return shown == "ok Просмотр журнала";
    })) << text;
    ASSERT_EQ(tap("enter"), "ok");
    ASSERT_TRUE(waitForPanel(socket, text, 3000, [](const std::string& shown) {
        return shown.find("velkord started") != std::string::npos ||
               std::count(shown.begin(), shown.end(), '|') == 5;
    })) << text;
    // The filter: only "изменение настроек", the fourth box.
    for (const char* key : {"enter", "down", "down", "down", "enter", "cancel"})
        ASSERT_EQ(tap(key), "ok");
    ASSERT_TRUE(waitForPanel(socket, text, 3000, [](const std::string& shown) {
        return shown.size() > 3 &&
               shown.find("Настройка 'Число качаний' изменена: 3.00 --> 3.01") != std::string::npos;
    })) << text;
    // Every line shown is a setting change.
    std::vector<std::string> lines;
    for (size_t start = 3, end = 0; start < text.size(); start = end + 3) {
        end = std::min(text.find(" | ", start), text.size());
        lines.push_back(text.substr(start, end - start));
    }
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines)
        EXPECT_EQ(line.compare(16, std::string("Настройка '").size(), "Настройка '"), 0) << line;
    // The unit's start may journal its own settings after it (the drives' frequencies).
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.substr(16) == "Настройка 'Число качаний' изменена: 3.00 --> 3.01";
    })) << text;
    if (const char* picture = std::getenv("VELKORD_LOG_VIEWER_PNG")) {
        EXPECT_EQ(simCommand(socket, std::string("frame ") + picture), "ok");
    }

    EXPECT_EQ(simCommand(socket, "quit"), "ok");
    EXPECT_EQ(sim.wait(10000), 0);
}

} // namespace
