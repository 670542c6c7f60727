// A process killed at any moment of saving leaves files that load as the configuration before or after
// that save, never the defaults and never a mixture of the two.

#include "tests/config/config_fixture.h"
#include "tests/support/emulation.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kTrials = 500;
// Every third trial starts from a damaged main file, so the child loads the backup.
constexpr int kDamagedEvery = 3;
constexpr int kLongestKillDelayUs = 4000;

// Version n of the configuration, spread over several groups of the main file and the performance file.
// A number every stamped setting's range holds (1 to 49 for versions below 49152), exact in binary.
float stampValue(int version) {
    return 1.0f + static_cast<float>(version) / 1024.0f;
}

void stamp(Config& config, int version) {
    config.wellName.value = "version " + std::to_string(version);
    config.modbusAddress.value = stampValue(version);
    config.minFreqDrive2.value = stampValue(version);
    config.oilSensorDelay.value = stampValue(version);
    config.cylinderArea.value = stampValue(version);
    config.freqDrive1.value = stampValue(version);
}

// The version the main file's settings hold, or -1 when they are defaults or a mixture.
int mainVersion(const Config& config) {
    int version = -1;
    if (std::sscanf(config.wellName.value.c_str(), "version %d", &version) != 1)
        return -1;
    auto same = [version](const ConfigFloat& setting) { return setting.value == stampValue(version); };
    bool consistent = same(config.modbusAddress) && same(config.minFreqDrive2) &&
                      same(config.oilSensorDelay) && same(config.cylinderArea);
    return consistent ? version : -1;
}

void writeInt(int fd, int value) {
    if (::write(fd, &value, sizeof value) != sizeof value)
        _exit(3);
}

// Loads, says so, then saves versions 1, 2, 3 ... until it is killed. Before a save it reports 2n,
// after it 2n + 1.
[[noreturn]] void saveForever(const std::string& mainPath, const std::string& perfPath, int reportFd) {
    Config config(mainPath, perfPath);
    writeInt(reportFd, mainVersion(config) == 0 ? 1 : -1);
    for (int version = 1; version < 1000000; ++version) {
        stamp(config, version);
        writeInt(reportFd, 2 * version);
        config.save();
        config.savePerf();
        writeInt(reportFd, 2 * version + 1);
    }
    _exit(0);
}

struct Progress {
    int lastBegun = 0;
    int lastEnded = 0;
};

Progress readProgress(int fd) {
    Progress progress;
    int value = 0;
    while (::read(fd, &value, sizeof value) == sizeof value) {
        if (value % 2 == 0)
            progress.lastBegun = value / 2;
        else
            progress.lastEnded = value / 2;
    }
    return progress;
}

class ConfigKill : public ConfigFixture {
protected:
    // Version 0 in the file and its backup, or in the backup only with a damaged file.
    void prepare(bool damaged) {
        writeFile(mainPath(), damaged ? mainText_.substr(0, mainText_.size() / 2) : mainText_);
        writeFile(mainPath() + ".bak", mainText_);
        writeFile(perfPath(), perfText_);
        writeFile(perfPath() + ".bak", perfText_);
        ::unlink((mainPath() + ".tmp").c_str());
        ::unlink((perfPath() + ".tmp").c_str());
    }

    void SetUp() override {
        Config config(mainPath(), perfPath());
        stamp(config, 0);
        config.save();
        config.savePerf();
        mainText_ = mainFile();
        perfText_ = readFile(perfPath());
    }

    std::string mainText_;
    std::string perfText_;
};

TEST_F(ConfigKill, EveryKilledSaveLoadsTheOldOrTheNewVersion) {
    std::mt19937 random(20240531);
    // A save takes several times as long under the emulator: the kills spread over as many saves.
    std::uniform_int_distribution<int> killDelayUs(0, realTimeLimit(kLongestKillDelayUs));
    int killedInsideASave = 0;
    int loadedOld = 0;
    int loadedNew = 0;
    int killedInTheFirstSaveAfterDamage = 0;
    auto begin = std::chrono::steady_clock::now();

    for (int trial = 0; trial < kTrials; ++trial) {
        bool damaged = trial % kDamagedEvery == 0;
        prepare(damaged);
        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(report[0]);
            saveForever(mainPath(), perfPath(), report[1]);
        }
        ::close(report[1]);
        int ready = 0;
        ASSERT_EQ(::read(report[0], &ready, sizeof ready), static_cast<ssize_t>(sizeof ready));
        ASSERT_EQ(ready, 1) << "trial " << trial << ": the child did not load version 0";
        ::usleep(static_cast<useconds_t>(killDelayUs(random)));
        ::kill(child, SIGKILL);
        ASSERT_EQ(::waitpid(child, nullptr, 0), child);
        Progress progress = readProgress(report[0]);
        ::close(report[0]);

        std::unique_ptr<Config> config = load();
        int version = mainVersion(*config);
        int perfVersion = static_cast<int>((config->freqDrive1.value - 1.0f) * 1024.0f);
        bool insideASave = progress.lastBegun != progress.lastEnded;
        ASSERT_TRUE(version == progress.lastEnded || version == progress.lastBegun)
            << "trial " << trial << (damaged ? " (damaged start)" : "") << ": loaded " << version
            << ", saves begun " << progress.lastBegun << ", ended " << progress.lastEnded;
        ASSERT_TRUE(perfVersion == progress.lastEnded || perfVersion == progress.lastBegun)
            << "trial " << trial << ": performance file holds " << perfVersion;
        killedInsideASave += insideASave;
        loadedOld += insideASave && version == progress.lastEnded;
        loadedNew += insideASave && version == progress.lastBegun;
        killedInTheFirstSaveAfterDamage += damaged && progress.lastBegun == 1 && insideASave;
    }

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::printf(
        "%d trials (%d from a damaged file) in %.2f s: %d killed inside a save (%d in the first save after "
        "the damage), of which %d loaded the version before it and %d the version it wrote\n",
        kTrials, (kTrials + kDamagedEvery - 1) / kDamagedEvery, seconds, killedInsideASave,
        killedInTheFirstSaveAfterDamage, loadedOld, loadedNew);
    // The kills fell on both sides of the moment the new file takes the old one's place.
    EXPECT_GT(loadedOld, 0);
    EXPECT_GT(loadedNew, 0);
    // And some fell in the save that follows a recovery from the damaged main file.
    EXPECT_GT(killedInTheFirstSaveAfterDamage, 0);
}

} // namespace
