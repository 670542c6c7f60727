// The stroke-rate tuning on its own: the measured rate, the frequency step towards the target, the save
// once the target is crossed, the smart target's bounds and the emergency mode's top dwell.

#include "config/config.h"
#include "core/journal.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/stroke_rate_tuning.h"
#include "drive/controller_types.h"
#include "drive/unit_settings.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

class StrokeRateTuningPartsTest : public ::testing::Test {
protected:
    StrokeRateTuningPartsTest() : config(board.path("/etc/velkord"), board.path("/etc/velkord_perf")) {
        gTimers = &timers;
        gConfig = &config;
        config.nSwings.value = 5;
        config.nsMode.current = 0;
        config.pu1Mode.current = kUnitOn;
        config.pu2Mode.current = kUnitOff;
        config.selectedDrive1.current = 1;
        config.selectedDrive2.current = 0;
        config.minFreqDrive1.value = 10;
        config.maxFreqDrive1.value = 50;
        config.freqDrive1.value = 30;
    }
    ~StrokeRateTuningPartsTest() override {
        gConfig = nullptr;
        gTimers = nullptr;
        journalClose();
    }

    TestBoard board;
    TimerQueue timers;
    Config config;
    SmartCorrection::Records records;
    uint32_t completed = 0;
    bool emergency = false;
    std::vector<float> rates;
    StrokeRateTuning tuning{records,
                            completed,
                            {[this] { return emergency; }, [](int) { return false; },
                             [this](float rate) { rates.push_back(rate); }}};
};

TEST_F(StrokeRateTuningPartsTest, TheFirstCycleIsMeasuredButNotTuned) {
    tuning.firstCycleFinished(15000);
    tuning.firstCycleFinished(0);
    EXPECT_EQ(rates, (std::vector<float>{4.0f}));
    EXPECT_EQ(tuning.runs(), 0u);
    EXPECT_FLOAT_EQ(config.freqDrive1.value, 30);
}

TEST_F(StrokeRateTuningPartsTest, ASlowCycleStepsTheFrequencyUpUntilTheTargetIsCrossed) {
    tuning.cycleFinished(15000); // 4 strokes/min against 5: +10 Hz
    EXPECT_EQ(tuning.runs(), 1u);
    EXPECT_FLOAT_EQ(tuning.error(), 1.0f);
    EXPECT_FLOAT_EQ(config.freqDrive1.value, 40);
    tuning.cycleFinished(11000); // 5.45 crosses the target: saved, no step
    EXPECT_FLOAT_EQ(tuning.error(), 0);
    EXPECT_FLOAT_EQ(config.freqDrive1.value, 40);
    tuning.cycleFinished(0); // counted, nothing measured
    EXPECT_EQ(tuning.runs(), 3u);
    EXPECT_EQ(rates.size(), 2u);
}

TEST_F(StrokeRateTuningPartsTest, TheSmartTargetIsHeldWithinItsBoundsAndAResetForgetsTheError) {
    config.nsMode.current = 1;
    config.nsMin.value = 4.5f;
    config.nsMax.value = 6;
    tuning.cycleFinished(15000); // the target is nsMin before the first correction
    EXPECT_FLOAT_EQ(tuning.error(), 0.5f);
    EXPECT_FLOAT_EQ(config.freqDrive1.value, 35);
    tuning.resetPerformance();
    EXPECT_FLOAT_EQ(tuning.error(), 0);
    EXPECT_FLOAT_EQ(tuning.smart().target(), 0);
}

TEST_F(StrokeRateTuningPartsTest, TheEmergencyModeStretchesTheTopDwellToItsRate) {
    config.delayTDP.value = 2;
    config.nsAlarmTempMode.value = 3; // a cycle of 20 s
    tuning.enterEmergencyMode();
    EXPECT_FLOAT_EQ(tuning.emergencyTopDwell(), 2);
    emergency = true;
    tuning.cycleFinished(15000);
    EXPECT_FLOAT_EQ(tuning.emergencyTopDwell(), 7);
    tuning.cycleFinished(25000);
    EXPECT_FLOAT_EQ(tuning.emergencyTopDwell(), 2);
}

} // namespace
