// The dynamogram recorder on its own: samples sorted by phase into the record under way, a record kept
// only with both reversals and nothing skipped, the last ten kept, the low-load warning.

#include "config/config.h"
#include "core/journal.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/dynamogram_recorder.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

class DynamogramRecorderTest : public ::testing::Test, private DynamogramObserver {
protected:
    DynamogramRecorderTest() : config(board.path("/etc/velkord"), board.path("/etc/velkord_perf")) {
        gTimers = &timers;
        gConfig = &config;
        config.gMin.value = 1000;
        recorder.setObserver(this);
    }
    ~DynamogramRecorderTest() override {
        gConfig = nullptr;
        gTimers = nullptr;
        journalClose();
    }
    // One cycle: `up` samples going up, the top reversal, `down` samples going down, the bottom.
    void cycle(int up, int down, bool top = true, bool bottom = true) {
        phase = SamplePhase::Up;
        for (int i = 0; i < up; ++i)
            recorder.sample(2000.0f + i);
        if (top)
            recorder.topReversal();
        phase = SamplePhase::Down;
        for (int i = 0; i < down; ++i)
            recorder.sample(1500.0f - i);
        if (bottom)
            recorder.bottomReversal();
    }
    void dynamogramCompleted(const DynamogramRecord& record, float) override {
        told.push_back(record.upLoads().size());
    }

    TestBoard board;
    TimerQueue timers;
    Config config;
    SamplePhase phase = SamplePhase::None;
    int lowLoads = 0;
    int completions = 0;
    std::vector<size_t> told;
    DynamogramRecorder recorder{
        {[this] { return phase; }, [this] { ++lowLoads; }, [this] { ++completions; }}};
};

TEST_F(DynamogramRecorderTest, ACycleIsCompletedByTheFirstUpSampleAfterItsDownStroke) {
    EXPECT_EQ(recorder.current(), nullptr);
    cycle(3, 2);
    ASSERT_NE(recorder.current(), nullptr);
    EXPECT_EQ(recorder.current()->upLoads().size(), 3u);
    EXPECT_EQ(recorder.current()->downLoads().size(), 2u);
    recorder.setCycleRate(4.5f);
    EXPECT_TRUE(recorder.records().empty());
    phase = SamplePhase::None;
    recorder.sample(1800); // a pause at the bottom is not recorded
    EXPECT_TRUE(recorder.records().empty());
    phase = SamplePhase::Up;
    recorder.sample(1800);
    ASSERT_EQ(recorder.records().size(), 1u);
    EXPECT_FLOAT_EQ(recorder.records().back()->strokesPerMinute, 4.5f);
    EXPECT_EQ(recorder.completed(), 1u);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(told, (std::vector<size_t>{3}));
    EXPECT_EQ(recorder.current()->upLoads().size(), 1u);
    EXPECT_FALSE(recorder.topReversalSeen()); // looked for afresh
    EXPECT_FALSE(recorder.bottomReversalSeen());
}

TEST_F(DynamogramRecorderTest, RecordsWithoutABottomReversalOrWithADownStrokeBeforeTheTopAreDropped) {
    cycle(3, 2, true, false);
    cycle(3, 2, false, true); // the first down sample before any top reversal: skipped
    cycle(1, 0);
    EXPECT_TRUE(recorder.records().empty());
    EXPECT_EQ(completions, 0);
    phase = SamplePhase::Down;
    DynamogramRecorder fresh{{[] { return SamplePhase::Down; }, [] {}, [] {}}};
    fresh.sample(1500); // no record under way: nothing starts on a down stroke
    EXPECT_EQ(fresh.current(), nullptr);
}

TEST_F(DynamogramRecorderTest, TheLastTenAreKeptAndALowDownStrokeLoadWarns) {
    for (int i = 0; i < 12; ++i)
        cycle(i + 1, 2);
    cycle(1, 0);
    EXPECT_EQ(recorder.records().size(), DynamogramRecorder::kKept);
    EXPECT_EQ(recorder.completed(), 12u);
    EXPECT_EQ(recorder.records().front()->upLoads().size(), 3u);
    EXPECT_EQ(lowLoads, 0);
    phase = SamplePhase::Down;
    recorder.sample(999);
    EXPECT_EQ(lowLoads, 1);
    config.gMin.value = -1; // off
    recorder.sample(0);
    EXPECT_EQ(lowLoads, 1);
}

} // namespace
