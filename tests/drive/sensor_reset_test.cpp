// The sensors' power reset on its own: the power-off time, the finish, and the period the alarms ask for.

#include "config/config.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/sensor_reset.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

class SensorResetTest : public ::testing::Test {
protected:
    SensorResetTest() : config(board.path("/etc/velkord"), board.path("/etc/velkord_perf")) {
        gTimers = &timers;
        gConfig = &config;
        config.sensorResetDuration.value = 3;
        config.sensorResetPeriod.value = 1;
    }
    ~SensorResetTest() override {
        gConfig = nullptr;
        gTimers = nullptr;
    }
    void run(uint32_t ms) { runLoopFor(board, ms); }

    TestBoard board;
    TimerQueue timers;
    Config config;
    std::vector<bool> power; // true: switched off
    int finished = 0;
    bool due = false;
    SensorReset reset{
        {[this](bool off) { power.push_back(off); }, [this] { ++finished; }, [this] { return due; }}};
};

TEST_F(SensorResetTest, PowersTheSensorsOffForTheDurationThenFinishes) {
    reset.run();
    EXPECT_TRUE(reset.running());
    run(2990);
    EXPECT_EQ(finished, 0);
    run(20);
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(reset.running());
    EXPECT_EQ(power, (std::vector<bool>{true, false}));
    config.sensorResetDuration.value = 0;
    reset.run();
    EXPECT_EQ(finished, 2); // at once, without a power-off
    EXPECT_EQ(power.size(), 3u);
}

TEST_F(SensorResetTest, ThePeriodRunsWhileDueAndStopsWhenNoLongerDue) {
    reset.startPeriodIfDue();
    run(61000);
    EXPECT_TRUE(power.empty()); // not due: nothing armed
    due = true;
    reset.startPeriodIfDue();
    run(60010);
    EXPECT_TRUE(reset.running());
    run(3000);
    EXPECT_EQ(finished, 1); // and the next period is armed at the finish
    due = false;
    reset.stopPeriodUnlessDue();
    run(120000);
    EXPECT_EQ(finished, 1);
    due = true;
    config.sensorResetPeriod.value = 0; // no period at all
    reset.startPeriodIfDue();
    run(120000);
    EXPECT_EQ(finished, 1);
}

} // namespace
