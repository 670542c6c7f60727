#include "config/config.h"
#include "core/epoller.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "daemon/velkord.h"
#include "sim/boot_env_image.h"
#include "tests/support/test_board.h"
#include "tests/support/time_zone_guard.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// The daemon applies the configured time zone to the process; the guard puts the test's back.
class Daemon : public ::testing::Test {
    TimeZoneGuard timeZoneGuard_;
};

void stopAfter(TestBoard& board, uint32_t ms) {
    board.platform().onStarted = [ms] { gTimers->add("test-stop", ms, [] { gTimers->quit = true; }); };
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST_F(Daemon, StartsRunsItsLoopWithKeepAlivesAndStopsWithTheMagicByte) {
    TestBoard board;
    stopAfter(board, 1000);

    EXPECT_EQ(runDaemon(board.platform()), 0);

    EXPECT_EQ(readFile(board.path("/dev/watchdog")), "V");
    EXPECT_GT(board.platform().simWatchdog().bytesWritten(), 2u); // W per pass, then V
    EXPECT_NE(readFile(board.path("/var/log/events")).find(" velkord started\n"), std::string::npos);
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "serial number: SIM-0001").size(), 1u);
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "velkord finished").size(), 1u);
    EXPECT_EQ(readFile(board.path("/sys/class/gpio/export")), "13\n16\n17\n53\n55\n115\n");
    EXPECT_EQ(readFile(board.path("/sys/class/gpio/pioD19/direction")), "out\n");
    // pioA13 is the discrete I/O's: driven low after its first exchange, high again when it goes.
    EXPECT_EQ(readFile(board.path("/sys/class/gpio/pioA13/direction")), "out\n");
    EXPECT_EQ(readFile(board.path("/sys/class/gpio/pioA13/value")), "255\n");
    EXPECT_EQ(gTimers, nullptr);
    EXPECT_EQ(gConfig, nullptr);
    EXPECT_TRUE(fileExists(board.path("/etc/velkord")));
    EXPECT_TRUE(fileExists(board.path("/etc/velkord.bak"))); // written again right after loading
    EXPECT_TRUE(fileExists(board.path("/etc/velkord_perf")));
}

TEST_F(Daemon, StartsWithNumbersOutOfRangeClampedBeforeAnyoneUsesThem) {
    TestBoard board;
    writeFile(board.path("/etc/velkord"),
              "<?xml version=\"1.0\"?>\n<config><common><modbusAddress>300</modbusAddress></common>"
              "<drive1><modbusAddr>1e30</modbusAddr></drive1>"
              "<InputsOutputs><oilSensorDelay>3e38</oilSensorDelay></InputsOutputs></config>\n");
    stopAfter(board, 1000);

    EXPECT_EQ(runDaemon(board.platform()), 0);

    // The controller and the slaves started with values they can use, and the file now holds them.
    std::string file = readFile(board.path("/etc/velkord"));
    EXPECT_NE(file.find("<modbusAddress>247</modbusAddress>"), std::string::npos) << file;
    EXPECT_NE(file.find("<modbusAddr>254</modbusAddr>"), std::string::npos) << file;
    EXPECT_NE(file.find("<oilSensorDelay>60</oilSensorDelay>"), std::string::npos) << file;
    EXPECT_EQ(board.logLinesWith(LOG_WARNING, "is out of range, using").size(), 3u);
}

TEST_F(Daemon, SerialStoredAsHashSerialIsRenamedOnceAndReadUnderItsNewName) {
    TestBoard board;
    writeFile(board.path("/dev/mtd2"), makeBootEnvironment({"bootdelay=3", "#serial=AB-0042"}, 7));
    writeFile(board.path("/dev/mtd3"), makeBootEnvironment({"bootdelay=3", "#serial=AB-0042"}, 6));
    stopAfter(board, 10);

    EXPECT_EQ(runDaemon(board.platform()), 0);
    EXPECT_EQ(
        board.logLinesWith(LOG_INFO, "found environment variable '#serial', renaming to 'serial#'...").size(),
        1u);
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "serial number: AB-0042").size(), 1u);
    EXPECT_EQ(readFile(board.path("/dev/mtd3")), makeBootEnvironment({"bootdelay=3", "serial#=AB-0042"}, 8));

    board.clearLog();
    EXPECT_EQ(runDaemon(board.platform()), 0);
    EXPECT_TRUE(board.logLinesWith(LOG_INFO, "renaming").empty());
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "serial number: AB-0042").size(), 1u);
}

TEST_F(Daemon, WithoutABootEnvironmentTheSerialNumberIsUnknown) {
    TestBoard board;
    ASSERT_EQ(::unlink(board.path("/dev/mtd2").c_str()), 0);
    stopAfter(board, 10);

    EXPECT_EQ(runDaemon(board.platform()), 0);
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "serial number: unknown").size(), 1u);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "Cannot access MTD device /dev/mtd2").size(),
              2u); // serial#, #serial
}

TEST_F(Daemon, HeldWatchdogCostsTwentyFiveRetriesAndOneErrorLineThenRunsWithoutIt) {
    TestBoard board;
    int holder = ::open(board.path("/dev/watchdog").c_str(), O_WRONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    uint64_t startedAtMs = 0;
    board.platform().onStarted = [&] {
        startedAtMs = board.clock().elapsedMs();
        gTimers->add("test-stop", 500, [] { gTimers->quit = true; });
    };

    EXPECT_EQ(runDaemon(board.platform()), 0);

    std::vector<std::string> errors = board.logLinesWith(LOG_ERR, "/dev/watchdog");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(endsWith(errors[0], ": error opening /dev/watchdog: Device or resource busy")) << errors[0];
    EXPECT_EQ(errors[0].rfind("velkord:", 0), 0u) << errors[0];
    EXPECT_EQ(startedAtMs, 25u * 400u);
    EXPECT_GE(board.clock().elapsedMs(), startedAtMs + 500);
    EXPECT_EQ(readFile(board.path("/dev/watchdog")), ""); // never ours, so no keep-alive and no V
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "velkord finished").size(), 1u);
    ::close(holder);
}

TEST_F(Daemon, MissingWatchdogIsReportedOnEveryAttempt) {
    TestBoard board;
    ASSERT_EQ(::unlink(board.path("/dev/watchdog").c_str()), 0);
    stopAfter(board, 10);

    EXPECT_EQ(runDaemon(board.platform()), 0);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "error opening /dev/watchdog: No such file or directory").size(),
              25u);
}

TEST_F(Daemon, MissingGpioDirectionFileEndsStartUpWithStatusOne) {
    TestBoard board;
    ASSERT_EQ(::unlink(board.path("/sys/class/gpio/pioB23/direction").c_str()), 0);
    stopAfter(board, 10);

    EXPECT_EQ(runDaemon(board.platform()), 1);

    std::vector<LogLine> errors;
    for (const LogLine& line : board.logLines())
        if (line.priority <= LOG_ERR)
            errors.push_back(line);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(
        endsWith(errors[0].text, ": cannot open /sys/class/gpio/pioB23/direction: No such file or directory"))
        << errors[0].text;
    EXPECT_EQ(readFile(board.path("/sys/class/gpio/pioB21/direction")), "out\n");
    EXPECT_EQ(readFile(board.path("/sys/class/gpio/pioD19/direction")), "");
    EXPECT_EQ(readFile(board.path("/dev/watchdog")), ""); // opened, but nothing written
    EXPECT_FALSE(fileExists(board.path("/var/log/events")));
}

TEST_F(Daemon, MissingGpioExportFileEndsStartUpWithStatusOne) {
    TestBoard board;
    ASSERT_EQ(::unlink(board.path("/sys/class/gpio/export").c_str()), 0);
    EXPECT_EQ(runDaemon(board.platform()), 1);
    EXPECT_EQ(
        board.logLinesWith(LOG_ERR, "cannot open /sys/class/gpio/export: No such file or directory").size(),
        1u);
}

TEST_F(Daemon, PanelThatCannotBeOpenedEndsStartUpAndLeavesNothingBehind) {
    TestBoard board;
    board.platform().simFramebuffer().failOpen(platform::FramebufferError::Map, ENOMEM);

    EXPECT_EQ(runDaemon(board.platform()), 4);

    EXPECT_EQ(gTimers, nullptr);
    EXPECT_EQ(gConfig, nullptr);
    EXPECT_EQ(EPoller::descriptor(), -1);
    EXPECT_EQ(readFile(board.path("/dev/watchdog")), ""); // left armed: no "V"
    EXPECT_NE(readFile(board.path("/var/log/events")).find(" velkord started\n"), std::string::npos);

    // The same process can start the daemon again once the panel is there.
    board.platform().simFramebuffer().failOpen(platform::FramebufferError::None, 0);
    stopAfter(board, 10);
    EXPECT_EQ(runDaemon(board.platform()), 0);
    EXPECT_EQ(readFile(board.path("/dev/watchdog")), "V");
}

TEST_F(Daemon, SigtermInsideATimerCallbackFinishesThatCallbackAndStopsTheLoop) {
    TestBoard board;
    bool laterFired = false;
    bool callbackFinished = false;
    board.platform().onStarted = [&] {
        gTimers->add("terminate", 50, [&] {
            ::raise(SIGTERM);
            callbackFinished = true;
        });
        gTimers->add("same-expiry", 50, [&] { laterFired = true; });
    };

    EXPECT_EQ(runDaemon(board.platform()), 0);

    EXPECT_TRUE(callbackFinished);
    EXPECT_FALSE(laterFired);
    EXPECT_EQ(readFile(board.path("/dev/watchdog")), "V");
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "velkord finished").size(), 1u);
}

} // namespace
