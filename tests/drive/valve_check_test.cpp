// The valve check on its own: open and short circuits 200 ms after a switching, the crossed-feedback
// rule, and whether faulty valves stop the drive or are worked around.

#include "config/config.h"
#include "core/journal.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/controller_types.h"
#include "drive/unit_settings.h"
#include "drive/valve_check.h"
#include "tests/drive/supervision_fake.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

class ValveCheckTest : public ::testing::Test {
protected:
    ValveCheckTest() : config(board.path("/etc/velkord"), board.path("/etc/velkord_perf")) {
        gTimers = &timers;
        gConfig = &config;
        config.ev1Mode.current = kUnitOn;
        config.ev2Mode.current = kUnitOn;
        config.workWithBrokenEV.current = 1;
    }
    ~ValveCheckTest() override {
        gConfig = nullptr;
        gTimers = nullptr;
        journalClose();
    }
    void run(uint32_t ms) { runLoopFor(board, ms); }
    void switchValve(int valve, bool on, bool current) {
        outputs[valve] = on;
        currents[valve] = current;
        check.switched(valve);
    }

    TestBoard board;
    TimerQueue timers;
    Config config;
    FakeSupervision drive;
    bool outputs[3] = {};
    bool currents[3] = {};
    int states[3] = {kSensorOk, kSensorOk, kSensorOk};
    std::vector<int> blinks; // lamp, fast, slow
    ValveCheck check{drive,
                     {[this](int v) { return outputs[v]; }, [this](int v) { return currents[v]; },
                      [this](int v) { return states[v]; }, [this](int v, int state) { states[v] = state; },
                      [this](int lamp, bool fast, bool slow) {
                          blinks.insert(blinks.end(), {lamp, fast ? 1 : 0, slow ? 1 : 0});
                      }}};
};

TEST_F(ValveCheckTest, AnEnergisedValveWithoutCurrentIsFoundOpenAfterTheCheckTimeAndStopsTheDrive) {
    switchValve(1, true, false);
    run(190);
    EXPECT_EQ(states[1], kSensorOk);
    run(20);
    EXPECT_EQ(states[1], kSensorOpen);
    EXPECT_EQ(drive.active[kAlarmValveBreak], "27.1 Обрыв ЭК1");
    EXPECT_TRUE(drive.isAlarmActive(kAlarmValveFaultStop));
    EXPECT_EQ(drive.halts, 1);
    EXPECT_EQ(blinks, (std::vector<int>{37, 0, 1}));

    currents[1] = true;
    check.feedbackChanged(1); // the current comes: healthy again
    EXPECT_EQ(states[1], kSensorOk);
    EXPECT_FALSE(drive.isAlarmActive(kAlarmValveBreak));
    EXPECT_FALSE(drive.isAlarmActive(kAlarmValveFaultStop));
}

TEST_F(ValveCheckTest, FeedbackDuringTheCheckTimeIsNotJudgedYet) {
    switchValve(2, true, false);
    run(100);
    check.feedbackChanged(2);
    EXPECT_EQ(states[2], kSensorOk);
    run(110);
    EXPECT_EQ(states[2], kSensorOpen);
}

TEST_F(ValveCheckTest, AShortIsNotReportedWhileTheOtherValveIsOnWithoutCurrentOfItsOwn) {
    outputs[2] = true; // ЭК2 on, its feedback silent: the current seen on ЭК1 is likely ЭК2's
    currents[1] = true;
    check.feedbackChanged(1);
    EXPECT_EQ(states[1], kSensorOk);
    outputs[2] = false;
    check.feedbackChanged(1);
    EXPECT_EQ(states[1], kSensorShort);
    EXPECT_EQ(drive.active[kAlarmValveBreak], "27.2 КЗ ЭК1");
    EXPECT_EQ(blinks, (std::vector<int>{37, 0, 0, 37, 1, 0}));
}

TEST_F(ValveCheckTest, WithWorkWithBrokenEvAHealthyValveWorksOnUnderTheIgnoredAlarm) {
    config.workWithBrokenEV.current = 0;
    switchValve(2, true, false);
    run(210);
    EXPECT_TRUE(drive.isAlarmActive(kAlarmValveFaultIgnored));
    EXPECT_FALSE(drive.isAlarmActive(kAlarmValveFaultStop));
    EXPECT_EQ(drive.halts, 0);
    switchValve(1, true, false); // both broken: nothing takes part any more
    run(210);
    EXPECT_FALSE(drive.isAlarmActive(kAlarmValveFaultIgnored));
    EXPECT_TRUE(drive.isAlarmActive(kAlarmValveFaultStop));
    EXPECT_EQ(drive.halts, 1);
}

} // namespace
