#include "tests/support/control_client.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kSim = VELKORD_SIM_PATH;

TEST(SimProcess, FreshSandboxStartsJournalsAndStopsCleanlyOnSigterm) {
    TempDir dir;
    std::string root = dir / "run";
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

TEST(SimProcess, AnHourOfSimulatedTimeAtMaximumSpeedTakesSeconds) {
    TempDir dir;
    auto start = std::chrono::steady_clock::now();
    Process sim({kSim, "--root", dir / "run", "--speed", "max", "--for", "3600"}, dir / "stderr");
    EXPECT_EQ(sim.wait(60000), 0) << readFile(dir / "stderr");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(SimProcess, DriveBusPtyAndDiscreteIOAreLiveWhileItRuns) {
    TempDir dir;
    std::string root = dir / "run";
    Process sim({kSim, "--root", root}, dir / "stderr");
    ASSERT_TRUE(sim.started());

    // The chain's first exchange powers the outputs; the drive bus port is a pty in the sandbox.
    ASSERT_TRUE(waitUntil(10000, [&] { return readFile(root + "/sys/class/gpio/pioA13/value") == "0\n"; }))
        << readFile(dir / "stderr");
    char target[64] = {};
    ASSERT_GT(::readlink((root + "/dev/ttyS2").c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target).rfind("/dev/pts/", 0), 0u);
    sim.signal(SIGTERM);

    EXPECT_EQ(sim.wait(10000), 0) << readFile(dir / "stderr");
    EXPECT_EQ(readFile(root + "/sys/class/gpio/pioA13/value"), "255\n");
    struct stat link {};
    EXPECT_NE(::lstat((root + "/dev/ttyS2").c_str(), &link), 0); // no link left to a pty reused by others
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
    ASSERT_TRUE(waitUntil(10000, [&] { return controlCommand(socket, "time").rfind("ok", 0) == 0; }))
        << readFile(dir / "stderr");

    // Both drives answer the continuous poll.
    ASSERT_TRUE(
        waitUntil(10000, [&] { return std::atoi(field(controlCommand(socket, "bus"), "TX").c_str()) > 40; }));
    EXPECT_EQ(field(controlCommand(socket, "bus"), "TO"), "0");

    // A healthy rig with the rod at the bottom, НУ1 switched on and its mode switch to automatic.
    EXPECT_EQ(controlCommand(socket, "setting pu1Mode 0"), "ok");
    EXPECT_EQ(controlCommand(socket, "adc 4 721"), "ok");
    for (const char* input : {"input 9 1", "input 20 1", "input 2 1", "input 5 1", "input 6 1", "input 26 1"})
        EXPECT_EQ(controlCommand(socket, input), "ok");
    ASSERT_TRUE(waitUntil(10000, [&] {
        return field(controlCommand(socket, "drive 1 state"), "run") == "1";
    })) << controlCommand(socket, "controller");
    ASSERT_TRUE(waitUntil(10000, [&] {
        return std::atof(field(controlCommand(socket, "drive 1 state"), "frequency").c_str()) > 30.0;
    }));
    EXPECT_EQ(field(controlCommand(socket, "drive 2 state"), "run"), "0");
    EXPECT_EQ(controlCommand(socket, "controller").rfind("ok state=2 mode=2", 0), 0u);

    EXPECT_EQ(controlCommand(socket, "drive 1 fault overcurrent"), "ok");
    ASSERT_TRUE(waitUntil(10000, [&] {
        return (controlCommand(socket, "alarms") + " ").find(" 40 ") != std::string::npos;
    })) << controlCommand(socket, "alarms");
    // Halted, as no partner takes over.
    EXPECT_TRUE(
        waitUntil(10000, [&] { return field(controlCommand(socket, "drive 1 state"), "run") == "0"; }));
    EXPECT_EQ(controlCommand(socket, "drive 3 state"), "error no drive 3");
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
                                                                {kSim, "--root"}}) {
        Process bad(arguments, dir / "bad");
        EXPECT_EQ(bad.wait(5000), 2) << arguments[1];
    }
    EXPECT_FALSE(fileExists(dir / "run"));
}

} // namespace
