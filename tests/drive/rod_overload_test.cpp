// The rod load supervision on its own, against a fake of the stroke cycle: the overload with its
// restarts and their count, the descent and the wait, and the low load of a down stroke.

#include "config/config.h"
#include "core/journal.h"
#include "core/registry.h"
#include "drive/alarm_catalogue.h"
#include "drive/rod_overload.h"
#include "tests/drive/supervision_fake.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr float kMaximum = 5000.0f;
constexpr float kMinimum = 1000.0f;
constexpr uint32_t kDescentLimitMs = 6000;

class RodOverloadTest : public ::testing::Test {
protected:
    RodOverloadTest() : config(board.path("/etc/velkord"), board.path("/etc/velkord_perf")) {
        gConfig = &config;
        config.gMax.value = kMaximum;
        config.gMin.value = kMinimum;
        config.numARA.value = 2;
        config.araDelay.value = 1;
    }
    ~RodOverloadTest() override {
        journalClose();
        gConfig = nullptr;
    }
    bool inPhase(RodOverload::Phase phase) const { return !phases.empty() && phases.back() == phase; }

    TestBoard board;
    Config config;
    FakeSupervision actions;
    bool loadValid = true;
    bool driveRuns = true;
    bool cycleDownStroke = false;
    std::vector<RodOverload::Phase> phases;
    std::vector<std::string> events; // what the cycle was asked to do, in order
    RodOverload overload{actions,
                         {[this](RodOverload::Phase phase) { phases.push_back(phase); },
                          [this](RodOverload::Phase phase) { return inPhase(phase); },
                          [this] { return loadValid; }, [this] { return driveRuns; },
                          [this] { return cycleDownStroke; }, [this] { events.push_back("sensor reset"); },
                          [] { return kDescentLimitMs; }, [this] { events.push_back("valves open"); },
                          [this] { events.push_back("descent ends"); },
                          [this] { events.push_back("restart"); },
                          [this](const char* name, uint32_t ms) {
                              events.push_back(name + std::string(" ") + std::to_string(ms));
                          }}};
};

TEST_F(RodOverloadTest, AnOverloadStopsResetsTheSensorsGoesDownWaitsAndRestarts) {
    overload.loadSample(kMaximum + 1);
    EXPECT_TRUE(actions.isAlarmActive(kAlarmRodOverloadRestart));
    EXPECT_EQ(actions.halts, 1);
    EXPECT_EQ(overload.restarts(), 1);
    EXPECT_TRUE(inPhase(RodOverload::Phase::SensorReset));
    EXPECT_EQ(events, (std::vector<std::string>{"sensor reset"}));

    overload.sensorsReset();
    EXPECT_TRUE(inPhase(RodOverload::Phase::Down));
    EXPECT_EQ(events, (std::vector<std::string>{"sensor reset", "valves open",
                                                "overloadDown " + std::to_string(kDescentLimitMs)}));
    events.clear();
    overload.atBottom();
    EXPECT_TRUE(inPhase(RodOverload::Phase::Wait));
    EXPECT_EQ(events, (std::vector<std::string>{"descent ends", "ARA 60000"}));
    overload.restartDue();
    EXPECT_EQ(events.back(), "restart");
}

TEST_F(RodOverloadTest, OutsideAutomaticTheOverloadIsOnlyAnAlarm) {
    actions.automaticMode = false;
    overload.loadSample(kMaximum + 1);
    EXPECT_TRUE(actions.isAlarmActive(kAlarmRodOverloadRestart));
    EXPECT_EQ(actions.halts, 0);
    EXPECT_EQ(overload.restarts(), 0);
    EXPECT_TRUE(phases.empty());
}

TEST_F(RodOverloadTest, AfterNumAraRestartsTheOverloadStopsForGoodUntilTheCyclesForgetThem) {
    for (int i = 0; i < 2; ++i) {
        actions.active.clear();
        overload.loadSample(kMaximum + 1);
    }
    EXPECT_EQ(overload.restarts(), 2);
    overload.loadSample(kMaximum + 1);
    EXPECT_TRUE(actions.isAlarmActive(kAlarmRodOverload));
    EXPECT_EQ(actions.halts, 3);

    overload.cycleCompleted(2);
    overload.cycleCompleted(2);
    EXPECT_EQ(overload.restarts(), 2);
    overload.cycleCompleted(2);
    EXPECT_EQ(overload.restarts(), 0);
}

TEST_F(RodOverloadTest, ALowLoadOnTheWayDownIsHeldForThatStroke) {
    overload.loadSample(kMinimum - 1);
    EXPECT_FALSE(actions.isAlarmActive(kAlarmLowRodLoad));
    cycleDownStroke = true;
    overload.loadSample(kMinimum - 1);
    EXPECT_TRUE(actions.isAlarmActive(kAlarmLowRodLoad));
    EXPECT_TRUE(overload.lowLoadThisStroke());
    overload.strokeBegins();
    EXPECT_FALSE(overload.lowLoadThisStroke());
}

TEST_F(RodOverloadTest, WithoutAValidLoadNothingIsJudged) {
    loadValid = false;
    overload.loadSample(kMaximum + 1);
    EXPECT_TRUE(actions.active.empty());
}

} // namespace
