// A process killed at any moment of saving leaves files that load as the configuration before or after
// that save, never the defaults and never a mixture of the two.

#include "tests/config/config_fixture.h"
#include "tests/support/kill_loop.h"

#include <chrono>
#include <cstdio>
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

// Loads, says whether it found version 0, then saves versions 1, 2, 3 ... until it is killed.
void saveForever(const std::string& mainPath, const std::string& perfPath, WriteReporter& reporter) {
    Config config(mainPath, perfPath);
    reporter.ready(mainVersion(config) == 0);
    for (int version = 1; version < 1000000; ++version) {
        stamp(config, version);
        reporter.begin(version);
        config.save();
        config.savePerf();
        reporter.end(version);
    }
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
    KillTally tally;
    int killedInTheFirstSaveAfterDamage = 0;
    auto begin = std::chrono::steady_clock::now();

    for (int trial = 0; tally.wantsTrial(trial, kTrials); ++trial) {
        bool damaged = trial % kDamagedEvery == 0;
        prepare(damaged);
        KilledWrites progress;
        std::string failure;
        ASSERT_TRUE(killWhileWriting(
            random, KillTally::delayLimitUs(trial, kTrials, kLongestKillDelayUs),
            [&](WriteReporter& reporter) { saveForever(mainPath(), perfPath(), reporter); }, progress,
            failure))
            << "trial " << trial << ": " << failure;

        std::unique_ptr<Config> config = load();
        int version = mainVersion(*config);
        int perfVersion = static_cast<int>((config->freqDrive1.value - 1.0f) * 1024.0f);
        ASSERT_TRUE(progress.oldOrNew(version))
            << "trial " << trial << (damaged ? " (damaged start)" : "") << ": loaded " << version
            << ", saves begun " << progress.lastBegun << ", ended " << progress.lastEnded;
        ASSERT_TRUE(progress.oldOrNew(perfVersion))
            << "trial " << trial << ": performance file holds " << perfVersion;
        tally.count(progress, version);
        killedInTheFirstSaveAfterDamage += damaged && progress.lastBegun == 1 && progress.insideAWrite();
    }

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::printf("%s (%d from a damaged file, %d killed in the first save after the damage)\n",
                tally.summary(seconds).c_str(), (kTrials + kDamagedEvery - 1) / kDamagedEvery,
                killedInTheFirstSaveAfterDamage);
    // The kills fell on both sides of the moment the new file takes the old one's place.
    EXPECT_GT(tally.foundOld, 0);
    EXPECT_GT(tally.foundNew, 0);
    // And some fell in the save that follows a recovery from the damaged main file.
    EXPECT_GT(killedInTheFirstSaveAfterDamage, 0);
}

} // namespace
