// The oil cooling on its own: thresholds, and the feedback checks that find a pump or fan faulty.

#include "config/config.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/discrete_inputs.h"
#include "drive/oil_cooling.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <map>

namespace {

class OilCoolingTest : public ::testing::Test {
protected:
    OilCoolingTest() : config(board.path("/etc/velkord"), board.path("/etc/velkord_perf")) {
        gTimers = &timers;
        gConfig = &config;
        config.tempCondOn.value = 50;
        config.tempCondOff.value = 40;
        config.tempFanOn.value = 60;
        config.tempFanOff.value = 55;
    }
    ~OilCoolingTest() override {
        gConfig = nullptr;
        gTimers = nullptr;
    }
    void run(uint32_t ms) { runLoopFor(board, ms); }

    TestBoard board;
    TimerQueue timers;
    Config config;
    std::map<int, bool> outputs;
    std::map<int, bool> inputs;
    int checks = 0;
    bool sensorFailed = false;
    OilCooling cooling{{[this](int n, bool on) { outputs[n] = on; }, [this](int n) { return outputs[n]; },
                        [this](int n) { return inputs[n]; }, [this] { ++checks; },
                        [this] { return sensorFailed; }}};
};

TEST_F(OilCoolingTest, ThePumpAndTheFanFollowTheirThresholds) {
    cooling.applyTemperature(52);
    EXPECT_TRUE(outputs[OilCooling::kPumpOutput]);
    EXPECT_FALSE(outputs[OilCooling::kFanOutput]);
    cooling.applyTemperature(61);
    EXPECT_TRUE(outputs[OilCooling::kFanOutput]);
    cooling.applyTemperature(45); // between the pump's thresholds, below the fan's off
    EXPECT_TRUE(outputs[OilCooling::kPumpOutput]);
    EXPECT_FALSE(outputs[OilCooling::kFanOutput]);
    cooling.applyTemperature(39);
    EXPECT_FALSE(outputs[OilCooling::kPumpOutput]);
    sensorFailed = true;
    cooling.switchFan(true);
    cooling.applyTemperature(20); // a failed sensor keeps the fan running
    EXPECT_TRUE(outputs[OilCooling::kFanOutput]);
}

TEST_F(OilCoolingTest, AFeedbackThatDoesNotFollowTheOutputMakesItFaultyUntilTheyAgree) {
    cooling.switchPump(true);
    run(190);
    EXPECT_EQ(checks, 0);
    run(20);
    EXPECT_EQ(checks, 1);
    EXPECT_TRUE(cooling.fault(true)); // no feedback
    EXPECT_FALSE(cooling.fault(false));
    inputs[kInputCoolingPumpFeedback] = true;
    cooling.onFeedback(true);
    EXPECT_EQ(checks, 2);
    EXPECT_FALSE(cooling.fault(true));
    cooling.switchFan(true);
    inputs[kInputFanFeedback] = true;
    cooling.onFeedback(false); // a change while its check is pending waits for the check
    EXPECT_EQ(checks, 2);
    run(210);
    EXPECT_EQ(checks, 3);
    EXPECT_FALSE(cooling.fault(false));
}

} // namespace
