// Dynamogram files on their own: at most one a recordPeriod, the period held by recordPeriod 0, every
// unwritten record at a closing halt, never a skipped one.

#include "config/config.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/dynamogram_saving.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <string>

namespace {

class DynamogramSavingTest : public ::testing::Test {
protected:
    DynamogramSavingTest() : config(board.path("/etc/velkord"), board.path("/etc/velkord_perf")) {
        gTimers = &timers;
        gConfig = &config;
        config.recordPeriod.value = 10;
    }
    ~DynamogramSavingTest() override {
        gConfig = nullptr;
        gTimers = nullptr;
    }
    void run(uint32_t ms) { runLoopFor(board, ms); }
    DynamogramRecord& addRecord() {
        records.push_back(std::make_unique<DynamogramRecord>());
        records.back()->appendUp(1000);
        records.back()->appendDown(2000);
        return *records.back();
    }
    size_t files() {
        size_t count = 0;
        if (DIR* dir = opendir(board.path("/var/spool").c_str())) {
            while (dirent* entry = readdir(dir))
                count += std::string(entry->d_name).rfind("telm_", 0) == 0;
            closedir(dir);
        }
        return count;
    }

    TestBoard board;
    TimerQueue timers;
    Config config;
    DynamogramSaver::Records records;
    DynamogramSaver saver{records};
};

TEST_F(DynamogramSavingTest, OneRecordAPeriodTheNextWhenThePeriodEnds) {
    addRecord();
    saver.cycleFinished();
    EXPECT_EQ(files(), 1u);
    EXPECT_TRUE(records.back()->written);
    EXPECT_TRUE(saver.periodRunning());
    addRecord();
    saver.cycleFinished(); // within the period: nothing
    EXPECT_EQ(files(), 1u);
    run(10 * 60000 + 10);
    EXPECT_EQ(files(), 2u); // "saveDG" wrote the newest
    EXPECT_TRUE(saver.periodRunning());
}

TEST_F(DynamogramSavingTest, PeriodZeroHoldsUntilThePeriodBeginsAfreshAndAClosingHaltWritesTheRest) {
    config.recordPeriod.value = 0;
    addRecord();
    saver.cycleFinished();
    EXPECT_EQ(files(), 1u);
    addRecord();
    saver.cycleFinished();
    EXPECT_EQ(files(), 1u); // held
    saver.restartPeriod();
    EXPECT_FALSE(saver.periodRunning());
    addRecord().skip = true;
    addRecord();
    saver.writeUnwritten();
    EXPECT_EQ(files(), 3u); // the held one and the newest, not the skipped one
    EXPECT_FALSE(records[2]->written);
}

} // namespace
