// The smart correction on its own: it waits for ten completed records, then moves the target within
// nsMin..nsMax and journals the move; the timer follows the smart mode.

#include "config/config.h"
#include "core/journal.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/smart_correction.h"
#include "tests/support/event_pump.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>

namespace {

class SmartCorrectionTest : public ::testing::Test {
protected:
    SmartCorrectionTest() : config(board.path("/etc/velkord"), board.path("/etc/velkord_perf")) {
        gTimers = &timers;
        gConfig = &config;
        config.nsMin.value = 1;
        config.nsMax.value = 6;
    }
    ~SmartCorrectionTest() override {
        gConfig = nullptr;
        gTimers = nullptr;
        journalClose();
    }
    void run(uint32_t ms) { runLoopFor(board, ms); }
    void complete(int count) {
        for (int i = 0; i < count; ++i) {
            auto record = std::make_unique<DynamogramRecord>();
            for (int s = 0; s < 40; ++s)
                record->appendUp(1500.0f + 100.0f * s);
            for (int s = 0; s < 40; ++s)
                record->appendDown(s < 20 ? 5400.0f : 1500.0f);
            record->strokesPerMinute = 4;
            records.push_back(std::move(record));
            ++completed;
            while (records.size() > SmartCorrection::kRecordsUsed)
                records.pop_front();
            smart.recordCompleted();
        }
    }

    TestBoard board;
    TimerQueue timers;
    Config config;
    SmartCorrection::Records records;
    uint32_t completed = 0;
    SmartCorrection smart{records, completed};
};

TEST_F(SmartCorrectionTest, ACorrectionBeforeTenRecordsWaitsAndRunsWithTheTenth) {
    complete(9);
    smart.correct();
    EXPECT_TRUE(smart.pending());
    EXPECT_EQ(smart.target(), 0);
    complete(1);
    EXPECT_FALSE(smart.pending());
    EXPECT_GE(smart.target(), 1);
    EXPECT_LE(smart.target(), 6);
    EXPECT_NE(readFile(board.path("/var/log/events")).find("Изменено число качаний: 0.000000 --> "),
              std::string::npos);
    smart.resetTarget();
    EXPECT_EQ(smart.target(), 0);
}

TEST_F(SmartCorrectionTest, TheTimerRunsOnlyInTheSmartModeWithAnInterval) {
    config.nsMode.current = 0;
    smart.arm();
    EXPECT_FALSE(smart.armed());
    config.nsMode.current = 1;
    config.nsCorrectionInterval.value = 5;
    smart.arm();
    EXPECT_TRUE(smart.armed());
    run(5 * 60000 + 10);
    EXPECT_TRUE(smart.pending()); // no records yet: it waits
    EXPECT_TRUE(smart.armed());   // and the next interval runs
    config.nsCorrectionInterval.value = 0;
    smart.arm();
    EXPECT_FALSE(smart.armed());
    EXPECT_FALSE(smart.pending());
}

} // namespace
