// A process killed at any moment of writing dynamograms leaves only whole files under dynamogram
// names: as many as it had written, or one more, each of which reads back as the cycle it recorded.

#include "drive/dynamogram_saving.h"
#include "tests/support/kill_loop.h"
#include "tests/support/test_board.h"

#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

constexpr int kTrials = 300;
constexpr int kLongestKillDelayUs = 4000;
constexpr int kUpSamples = 1200;
constexpr int kDownSamples = 1100;
constexpr float kUpLoadKgf = 1230;
constexpr float kDownLoadKgf = 4560;

class DynamogramKill : public ::testing::Test {
protected:
    std::string spool() { return board.path("/var/spool"); }

    std::vector<std::string> dynamogramFiles() {
        std::vector<std::string> names;
        if (DIR* dir = opendir(spool().c_str())) {
            while (dirent* entry = readdir(dir))
                if (std::string(entry->d_name).rfind("telm_", 0) == 0)
                    names.push_back(entry->d_name);
            closedir(dir);
        }
        return names;
    }

    void emptySpool() {
        for (const std::string& name : dynamogramFiles())
            ::unlink((spool() + "/" + name).c_str());
    }

    // Whether the file holds the whole cycle every write records.
    bool readsBackWhole(const std::string& name, std::string& error) {
        std::string text = readFile(spool() + "/" + name);
        DynamogramFileContent content;
        if (!decodeDynamogramFile(std::vector<uint8_t>(text.begin(), text.end()), content, error))
            return false;
        bool whole = content.upLoads == std::vector<uint32_t>(kUpSamples, kUpLoadKgf) &&
                     content.downLoads == std::vector<uint32_t>(kDownSamples, kDownLoadKgf);
        error = whole ? "" : "other loads";
        return whole;
    }

    // Writes one dynamogram after another, numbered 1, 2, 3 ..., until it is killed.
    static void writeForever(WriteReporter& reporter, bool spoolEmpty) {
        reporter.ready(spoolEmpty);
        for (int version = 1;; ++version) {
            DynamogramRecord record;
            for (int i = 0; i < kUpSamples; ++i)
                record.appendUp(kUpLoadKgf);
            for (int i = 0; i < kDownSamples; ++i)
                record.appendDown(kDownLoadKgf);
            reporter.begin(version);
            DynamogramSaver::write(record);
            reporter.end(version);
        }
    }

    TestBoard board;
};

TEST_F(DynamogramKill, AKilledWriteLeavesOnlyWholeFiles) {
    std::mt19937 random(20251209);
    KillTally tally;
    auto begin = std::chrono::steady_clock::now();
    for (int trial = 0; tally.wantsTrial(trial, kTrials); ++trial) {
        emptySpool();
        bool spoolEmpty = dynamogramFiles().empty();
        KilledWrites progress;
        std::string failure;
        ASSERT_TRUE(killWhileWriting(
            random, KillTally::delayLimitUs(trial, kTrials, kLongestKillDelayUs),
            [&](WriteReporter& reporter) { writeForever(reporter, spoolEmpty); }, progress, failure))
            << "trial " << trial << ": " << failure;

        std::vector<std::string> names = dynamogramFiles();
        for (const std::string& name : names) {
            std::string error;
            ASSERT_TRUE(readsBackWhole(name, error))
                << "trial " << trial << ": " << name << ": " << error << ", writes begun "
                << progress.lastBegun << ", ended " << progress.lastEnded;
        }
        int count = static_cast<int>(names.size());
        ASSERT_TRUE(progress.oldOrNew(count)) << "trial " << trial << ": " << count << " files, writes begun "
                                              << progress.lastBegun << ", ended " << progress.lastEnded;
        tally.count(progress, count);
    }
    std::printf("dynamograms: %s\n",
                tally.summary(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count())
                    .c_str());
    EXPECT_GT(tally.foundOld, 0);
    EXPECT_GT(tally.foundNew, 0);
}

} // namespace
