// The debouncing of a position sensor pair on its own: fault patterns after 200 ms, the rest at once.

#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/controller_types.h"
#include "drive/sensor_pair_filter.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

class SensorPairFilterTest : public ::testing::Test {
protected:
    SensorPairFilterTest() { gTimers = &timers; }
    ~SensorPairFilterTest() override { gTimers = nullptr; }
    void run(uint32_t ms) { runLoopFor(board, ms); }

    TestBoard board;
    TimerQueue timers;
    std::vector<int> accepted;
    SensorPairFilter filter{"botSensotAlarm", [this](int state) { accepted.push_back(state); }};
};

TEST_F(SensorPairFilterTest, AFaultPatternCountsAfter200MillisecondsTheOtherStatesAtOnce) {
    filter.onState(kSensorActive);
    EXPECT_EQ(accepted, std::vector<int>{kSensorActive});
    filter.onState(kSensorOpen);
    EXPECT_TRUE(filter.confirming());
    run(190);
    filter.onState(kSensorOpen); // the same pattern again does not restart the confirmation
    run(20);
    EXPECT_EQ(accepted, (std::vector<int>{kSensorActive, kSensorOpen}));
    EXPECT_FALSE(filter.confirming());
}

TEST_F(SensorPairFilterTest, AHealthyStateDropsAPatternBeingConfirmedAndAnotherPatternStartsAfresh) {
    filter.onState(kSensorShort);
    run(100);
    filter.onState(kSensorInactive);
    run(300);
    EXPECT_EQ(accepted, std::vector<int>{kSensorInactive});
    filter.onState(kSensorShort);
    run(150);
    filter.onState(kSensorOpen);
    run(150);
    EXPECT_EQ(accepted, std::vector<int>{kSensorInactive});
    run(60);
    EXPECT_EQ(accepted, (std::vector<int>{kSensorInactive, kSensorOpen}));
}

} // namespace
