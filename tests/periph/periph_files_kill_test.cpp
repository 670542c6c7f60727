// A process killed at any moment leaves the thermometer's exchange files holding a whole line, the one
// before the write or the one it wrote, and a configuration restored from a drive loads as the
// configuration before or after the restore, never the defaults.

#include "config/config.h"
#include "config/config_check.h"
#include "config/config_restore.h"
#include "periph/exchange_file.h"
#include "periph/flash_worker.h"
#include "platform/sim_media.h"
#include "platform/unique_fd.h"
#include "tests/support/kill_loop.h"
#include "tests/support/test_board.h"
#include "tests/support/time_zone_guard.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kTrials = 300;
constexpr int kLongestKillDelayUs = 3000;
// Every third restore starts from a damaged working file, so the loader starts from the backup.
constexpr int kDamagedEvery = 3;

double secondsSince(std::chrono::steady_clock::time_point begin) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

// The sensor file names the sensor's data file, the result file holds what was read from it.
std::string sensorLine(int version) {
    return "/sys/bus/w1/devices/28-" + std::to_string(version) + "/w1_slave";
}

int lineVersion(const std::string& path, const char* format) {
    std::string line;
    int version = -1;
    if (!readExchangeLine(path, line) || std::sscanf(line.c_str(), format, &version) != 1)
        return -1;
    return version;
}

class PeriphFilesKill : public ::testing::Test {
protected:
    std::string sensorPath() { return board.path("/tmp/w1_sensor"); }
    std::string resultPath() { return board.path("/tmp/w1_result"); }
    int sensorVersion() { return lineVersion(sensorPath(), "/sys/bus/w1/devices/28-%d/w1_slave"); }
    int resultVersion() { return lineVersion(resultPath(), "%d"); }

    // Writes line n of both files, n = 1, 2, 3 ..., as the main thread and the worker do, until killed.
    void exchangeForever(WriteReporter& reporter) {
        reporter.ready(sensorVersion() == 0 && resultVersion() == 0);
        for (int version = 1;; ++version) {
            reporter.begin(version);
            replaceExchangeFile(sensorPath(), sensorLine(version) + "\n");
            replaceExchangeFile(resultPath(), std::to_string(version) + "\n");
            reporter.end(version);
        }
    }

    std::string mainPath() { return board.path("/etc/velkord"); }
    std::string perfPath() { return board.path("/etc/velkord_perf"); }
    const char* driveFile() { return "/run/media/sda1/config.xml"; }
    std::string configText(int version) {
        std::string text = configText_;
        text.replace(text.find("version 0"), 9, "version " + std::to_string(version));
        return text;
    }
    // The version the configuration loads as, or -1 for the defaults.
    int loadedVersion() {
        Config config(mainPath(), perfPath());
        int version = -1;
        return std::sscanf(config.wellName.value.c_str(), "version %d", &version) == 1 ? version : -1;
    }

    // Restores versions 1, 2, 3 ... from the drive as the restore dialog does, until it is killed.
    void restoreForever(WriteReporter& reporter) {
        reporter.ready(loadedVersion() == 0);
        platform::UniqueFd answers(::open("/dev/null", O_WRONLY | O_CLOEXEC));
        FlashWorker worker(-1, answers.get(), board.platform().simMedia());
        std::string restored = board.path("/etc/velkord.tmp");
        for (int version = 1;; ++version) {
            writeFile(board.path(driveFile()), configText(version));
            reporter.begin(version);
            worker.execute(std::string("RESTORECONFIG ") + driveFile());
            std::string reason;
            if (!checkMainConfigFile(restored, reason) || putRestoredConfigInPlace(restored, mainPath()) != 0)
                _exit(4);
            reporter.end(version);
        }
    }

    void prepareRestore(bool damaged) {
        writeFile(mainPath(), damaged ? configText_.substr(0, configText_.size() / 2) : configText_);
        writeFile(mainPath() + ".bak", configText_);
        ::unlink(board.path("/etc/velkord.tmp").c_str());
    }

    void SetUp() override {
        Config config(mainPath(), perfPath());
        config.wellName.value = "version 0";
        config.save();
        configText_ = readFile(mainPath());
        ::mkdir(board.path("/run/media").c_str(), 0755);
        ::mkdir(board.path("/run/media/sda1").c_str(), 0755);
    }

    TimeZoneGuard timeZoneGuard;
    TestBoard board;
    std::string configText_;
};

TEST_F(PeriphFilesKill, AKilledExchangeLeavesTheOldOrTheNewLineInEachFile) {
    std::mt19937 random(20251210);
    KillTally tally;
    auto begin = std::chrono::steady_clock::now();
    for (int trial = 0; tally.wantsTrial(trial, kTrials); ++trial) {
        writeFile(sensorPath(), sensorLine(0) + "\n");
        writeFile(resultPath(), "0\n");
        KilledWrites progress;
        std::string failure;
        ASSERT_TRUE(killWhileWriting(
            random, KillTally::delayLimitUs(trial, kTrials, kLongestKillDelayUs),
            [&](WriteReporter& reporter) { exchangeForever(reporter); }, progress, failure))
            << "trial " << trial << ": " << failure;
        int sensor = sensorVersion();
        int result = resultVersion();
        ASSERT_TRUE(progress.oldOrNew(sensor) && progress.oldOrNew(result))
            << "trial " << trial << ": sensor line " << sensor << ", result " << result << ", writes begun "
            << progress.lastBegun << ", ended " << progress.lastEnded;
        // The result file is written last: its version tells whether the kill fell after the whole write.
        tally.count(progress, result);
    }
    std::printf("exchange files: %s\n", tally.summary(secondsSince(begin)).c_str());
    EXPECT_GT(tally.foundOld, 0);
    EXPECT_GT(tally.foundNew, 0);
}

TEST_F(PeriphFilesKill, AKilledRestoreFromADriveLoadsTheOldOrTheNewConfiguration) {
    std::mt19937 random(20251211);
    KillTally tally;
    auto begin = std::chrono::steady_clock::now();
    for (int trial = 0; tally.wantsTrial(trial, kTrials); ++trial) {
        bool damaged = trial % kDamagedEvery == 0;
        prepareRestore(damaged);
        KilledWrites progress;
        std::string failure;
        ASSERT_TRUE(killWhileWriting(
            random, KillTally::delayLimitUs(trial, kTrials, kLongestKillDelayUs),
            [&](WriteReporter& reporter) { restoreForever(reporter); }, progress, failure))
            << "trial " << trial << ": " << failure;
        int version = loadedVersion();
        ASSERT_TRUE(progress.oldOrNew(version))
            << "trial " << trial << (damaged ? " (damaged start)" : "") << ": loaded " << version
            << ", restores begun " << progress.lastBegun << ", ended " << progress.lastEnded;
        tally.count(progress, version);
    }
    std::printf("restored configuration: %s\n", tally.summary(secondsSince(begin)).c_str());
    EXPECT_GT(tally.foundOld, 0);
    EXPECT_GT(tally.foundNew, 0);
}

} // namespace
