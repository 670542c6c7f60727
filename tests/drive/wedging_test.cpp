// The wedging of the valves on its own, against a fake of the stroke cycle: the toggles, the up-stroke
// tries and the widening choice of units.

#include "config/config.h"
#include "core/journal.h"
#include "core/registry.h"
#include "drive/alarm_catalogue.h"
#include "drive/controller_types.h"
#include "drive/unit_settings.h"
#include "drive/wedging.h"
#include "tests/drive/supervision_fake.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr int kDuringUpStroke = 2;
constexpr int kWithoutLoad = 1;
constexpr int kToggles = 12;

class WedgingTest : public ::testing::Test {
protected:
    WedgingTest() : config(board.path("/etc/velkord"), board.path("/etc/velkord_perf")) {
        gConfig = &config;
        config.wedgingEV.current = kDuringUpStroke;
        config.pu1Mode.current = kUnitOn;
        config.pu2Mode.current = kUnitOn;
        config.ev1Mode.current = kUnitOn;
        config.ev2Mode.current = kUnitOn;
        config.selectedDrive1.current = 1;
        config.selectedDrive2.current = 0;
        config.minFreqDrive1.value = 20;
        config.maxFreqDrive1.value = 50;
        config.minFreqDrive2.value = 20;
        config.maxFreqDrive2.value = 40;
    }
    ~WedgingTest() override {
        journalClose();
        gConfig = nullptr;
    }
    // Runs the toggles until the up stroke is tried.
    void toggleToTheUpStroke() {
        for (int i = 0; i < kToggles; ++i)
            wedging.toggleDue();
    }

    TestBoard board;
    Config config;
    FakeSupervision actions;
    int valveStates[3] = {0, kSensorOk, kSensorOk};
    std::vector<Wedging::Phase> phases;
    std::vector<std::string> timers;
    std::vector<std::string> valves; // "1+" opened, "2-" closed
    int starts = 0;
    Wedging wedging{
        actions,
        {[this](Wedging::Phase phase) { phases.push_back(phase); },
         [this](const char* name, uint32_t ms) { timers.push_back(name + std::to_string(ms)); },
         [this](int valve, bool on) { valves.push_back(std::to_string(valve) + (on ? "+" : "-")); },
         [this](int valve) { return valveStates[valve]; }, [this] { ++starts; }}};
};

TEST_F(WedgingTest, OutsideAutomaticALongUpStrokeIsLeftToTheOperator) {
    actions.automaticMode = false;
    wedging.upStrokeTooLong();
    EXPECT_TRUE(actions.active.empty());
    EXPECT_TRUE(phases.empty());
    EXPECT_TRUE(valves.empty());
}

TEST_F(WedgingTest, DuringTheUpStrokeTheValvesAreToggledTwelveTimesThenTheUpStrokeIsTried) {
    wedging.upStrokeTooLong();
    EXPECT_TRUE(actions.isAlarmActive(kAlarmUpStrokeTooLong));
    EXPECT_EQ(actions.halts, 0);
    ASSERT_EQ(phases.size(), 1u);
    EXPECT_EQ(phases[0], Wedging::Phase::Toggle);
    // Open ЭК1, both closed, open ЭК2, both closed, ...
    ASSERT_GE(valves.size(), 1u);
    EXPECT_EQ(valves[0], "1+");
    EXPECT_EQ(timers.back(), "Wedging500");
    wedging.toggleDue();
    EXPECT_EQ((std::vector<std::string>{valves.begin() + 1, valves.end()}),
              (std::vector<std::string>{"1-", "2-"}));
    EXPECT_EQ(timers.back(), "Wedging250");
    wedging.toggleDue();
    EXPECT_EQ(valves.back(), "2+");

    for (int i = 3; i < kToggles; ++i)
        wedging.toggleDue();
    EXPECT_EQ(starts, 0);
    wedging.toggleDue();
    EXPECT_EQ(phases.back(), Wedging::Phase::Up);
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(timers.back(),
              "wedgingUp" + std::to_string(static_cast<uint32_t>(config.upTimeMax.value * 1000.0f)));
}

TEST_F(WedgingTest, WithoutLoadTheRodGoesDownFirstWithTheValvesOpen) {
    config.wedgingEV.current = kWithoutLoad;
    wedging.upStrokeTooLong();
    EXPECT_EQ(actions.halts, 1);
    ASSERT_EQ(phases.size(), 1u);
    EXPECT_EQ(phases[0], Wedging::Phase::Down);
    EXPECT_EQ(valves, (std::vector<std::string>{"1+", "2+"}));
    EXPECT_EQ(timers.back().rfind("wedgingDown", 0), 0u);
}

TEST_F(WedgingTest, AFailedTryHandsTheUpStrokeToTheOtherUnitAtMidRange) {
    wedging.upStrokeTooLong();
    toggleToTheUpStroke();
    wedging.upStrokeTimedOut();
    toggleToTheUpStroke();
    EXPECT_EQ(starts, 2);
    EXPECT_EQ(config.selectedDrive1.current, 0);
    EXPECT_EQ(config.selectedDrive2.current, 1);
    EXPECT_FLOAT_EQ(config.freqDrive2.value, 30.0f);
}

TEST_F(WedgingTest, AnOtherUnitWhoseValveIsFaultyEndsTheTryWithAHalt) {
    valveStates[2] = kSensorOpen;
    wedging.upStrokeTooLong();
    toggleToTheUpStroke();
    wedging.upStrokeTimedOut();
    toggleToTheUpStroke();
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(actions.halts, 1);
    EXPECT_EQ(config.selectedDrive2.current, 0);
}

} // namespace
