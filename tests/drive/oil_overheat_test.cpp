// The oil overheating on its own, against a fake of the stroke cycle: the descent, the wait at the
// bottom, the cooling run and the restart once the oil is cool.

#include "config/config.h"
#include "core/journal.h"
#include "core/registry.h"
#include "drive/alarm_catalogue.h"
#include "drive/controller_types.h"
#include "drive/oil_overheat.h"
#include "drive/unit_settings.h"
#include "tests/drive/supervision_fake.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kDescentLimitMs = 7000;
constexpr float kStopAbove = 80.0f;
constexpr float kStartBelow = 60.0f;
constexpr float kMainPumpFreq = 35.0f;

class OilOverheatTest : public ::testing::Test {
protected:
    OilOverheatTest() : config(board.path("/etc/velkord"), board.path("/etc/velkord_perf")) {
        gConfig = &config;
        config.tempStopWork.value = kStopAbove;
        config.tempStartWork.value = kStartBelow;
        config.coolingPump.current = 0;
        config.mainPumpFreq.value = kMainPumpFreq;
        config.pu1Mode.current = kUnitOn;
        config.pu2Mode.current = kUnitOff;
        config.ev1Mode.current = kUnitOn;
        config.ev2Mode.current = kUnitOff;
    }
    ~OilOverheatTest() override {
        journalClose();
        gConfig = nullptr;
    }
    bool inPhase(OilOverheat::Phase phase) const { return !phases.empty() && phases.back() == phase; }

    TestBoard board;
    Config config;
    FakeSupervision actions;
    bool atRest = false;
    bool rodAtBottom = false;
    bool stopReason = false;
    std::vector<OilOverheat::Phase> phases;
    std::vector<std::string> events; // what the cycle was asked to do, in order
    OilOverheat overheat{
        actions,
        {[this](OilOverheat::Phase phase) { phases.push_back(phase); },
         [this](OilOverheat::Phase phase) { return inPhase(phase); }, [this] { return atRest; },
         [this] { return stopReason; }, [this] { events.push_back("restart"); },
         [this] { events.push_back("dwell ends"); },
         [this](float setPoint) {
             events.push_back("units stop at " + std::to_string(static_cast<int>(setPoint)));
         },
         [this](int unit, float) { events.push_back("unit " + std::to_string(unit) + " starts"); },
         [this] { return rodAtBottom; }, [] { return kDescentLimitMs; },
         [this] { events.push_back("no descent"); }, [this] { events.push_back("valves open"); },
         [this] { events.push_back("descent ends"); },
         [this](int valve, bool on) {
             events.push_back("valve " + std::to_string(valve) + (on ? " on" : " off"));
         },
         [this](const char* name, uint32_t ms) {
             events.push_back(name + std::string(" ") + std::to_string(ms));
         }}};
};

TEST_F(OilOverheatTest, HotOilTakesTheRodDownThenWaitsAtTheBottomBeforeTheCoolingRun) {
    overheat.temperatureChanged(kStopAbove + 1, kStopAbove);
    EXPECT_TRUE(actions.isAlarmActive(kAlarmOilOverheat));
    ASSERT_TRUE(inPhase(OilOverheat::Phase::Down));
    EXPECT_EQ(events, (std::vector<std::string>{"dwell ends", "units stop at 35", "valves open",
                                                "overheatDown1 " + std::to_string(kDescentLimitMs)}));
    // Hotter still on the way down: nothing starts again.
    overheat.temperatureChanged(kStopAbove + 2, kStopAbove + 1);
    EXPECT_EQ(phases.size(), 1u);

    events.clear();
    overheat.atBottom();
    EXPECT_TRUE(inPhase(OilOverheat::Phase::Bottom));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], "descent ends");
    EXPECT_EQ(events[1].rfind("overheatDown2 ", 0), 0u);

    events.clear();
    overheat.startCoolingRun();
    EXPECT_TRUE(inPhase(OilOverheat::Phase::CoolingRun));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0], "valve 1 on");
    EXPECT_EQ(events[1], "unit 1 starts");
    EXPECT_EQ(events[2].rfind("Cooling ", 0), 0u);
}

TEST_F(OilOverheatTest, ARodAlreadyAtTheBottomWaitsThereAtOnce) {
    rodAtBottom = true;
    overheat.temperatureChanged(kStopAbove + 1, kStopAbove);
    EXPECT_EQ(phases,
              (std::vector<OilOverheat::Phase>{OilOverheat::Phase::Down, OilOverheat::Phase::Bottom}));
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events[2], "no descent");
    EXPECT_EQ(events[3], "valves open");
}

TEST_F(OilOverheatTest, WithTheExtraCoolingPumpTheDriveOnlyStops) {
    config.coolingPump.current = 1;
    overheat.temperatureChanged(kStopAbove + 1, kStopAbove);
    EXPECT_EQ(actions.halts, 1);
    EXPECT_TRUE(phases.empty());
    atRest = true;
    overheat.temperatureChanged(kStopAbove + 2, kStopAbove + 1);
    EXPECT_EQ(actions.halts, 1);
}

TEST_F(OilOverheatTest, CoolOilClearsTheAlarmAndRestartsUnlessAnotherAlarmHoldsTheDrive) {
    overheat.temperatureChanged(kStopAbove + 1, kStopAbove);
    stopReason = true;
    overheat.temperatureChanged(kStartBelow - 1, kStopAbove + 1);
    EXPECT_FALSE(actions.isAlarmActive(kAlarmOilOverheat));
    EXPECT_EQ(events.back().rfind("overheatDown1", 0), 0u);

    overheat.temperatureChanged(kStopAbove + 1, kStartBelow - 1);
    stopReason = false;
    overheat.temperatureChanged(kStartBelow - 1, kStopAbove + 1);
    EXPECT_EQ(events.back(), "restart");
}

} // namespace
