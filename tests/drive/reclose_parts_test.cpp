// The automatic reclose and the drive reset sequence on their own, against fakes of the units and the
// stroke cycle: the delays, the counts, the group reclose and the check of the drive after its reset.

#include "config/config.h"
#include "core/journal.h"
#include "core/log.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/alarm_catalogue.h"
#include "drive/controller_types.h"
#include "drive/drive_reset_sequence.h"
#include "drive/reclose.h"
#include "drive/unit_settings.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kMinute = 60000;

class ReclosePartsTest : public ::testing::Test {
protected:
    ReclosePartsTest() : config(board.path("/etc/velkord"), board.path("/etc/velkord_perf")) {
        gTimers = &timers;
        gConfig = &config;
        config.araDelay.value = 1;
        config.numARA.value = 2;
        config.pu1Mode.current = kUnitOn;
        config.pu2Mode.current = kUnitOn;
        config.canSepStart.current = 0;
    }
    ~ReclosePartsTest() override {
        journalClose();
        gConfig = nullptr;
        gTimers = nullptr;
    }
    void run(uint32_t ms) { runLoopFor(board, ms); }
    bool active(int32_t code) const { return alarms.count(code) != 0; }
    bool journalled(const std::string& fragment) { return !board.logLinesWith(LOG_INFO, fragment).empty(); }

    TestBoard board;
    TimerQueue timers;
    Config config;
    bool overCurrent[3] = {};
    bool faulty[3] = {};
    bool fresh[3] = {false, true, true};
    bool automatic = true;
    bool confirming = false;
    std::map<int32_t, std::string> alarms;
    std::vector<std::string> events; // what the owner was asked to do, in order
    Reclose reclose{
        {[this](int n) { return overCurrent[n]; }, [this](int n) { return faulty[n]; },
         [this](int n, bool f) { faulty[n] = f; }, [](int n) { return n * 10.0f; },
         [this] { return automatic; }, [this](int32_t code) { return active(code); },
         [this](int32_t code, const std::string& text) { alarms.emplace(code, text); },
         [this](int32_t code) { return alarms.erase(code) != 0; }, [this] { events.push_back("stop"); },
         [this](int n, bool up) { events.push_back("line" + std::to_string(n) + (up ? "+" : "-")); },
         [this] { events.push_back("group"); }}};
    DriveResetSequence sequence{
        reclose,
        {[this] { events.push_back("stop"); },
         [this](int n, bool up) { events.push_back("line" + std::to_string(n) + (up ? "+" : "-")); },
         [this](int n) { faulty[n] = false; },
         [this](int n) { events.push_back("power" + std::to_string(n)); }, [this](int n) { return fresh[n]; },
         [this](int n) { return overCurrent[n]; }, [this] { return automatic; },
         [this](int32_t code) { return alarms.erase(code) != 0; },
         [this](int n) { events.push_back("pulse" + std::to_string(n)); },
         [this](int n) { events.push_back("check" + std::to_string(n)); },
         [this] { events.push_back("wait"); }, [this] { events.push_back("select"); },
         [this] { events.push_back("start"); }, [this] { return confirming; },
         [this] { events.push_back("up"); }}};
};

TEST_F(ReclosePartsTest, AUnitWithAPartnerIsTakenOutAndIsDueAfterAraDelay) {
    overCurrent[1] = true;
    reclose.checkOverCurrent();
    EXPECT_EQ(alarms[kAlarmOverCurrent], "20.1 Перегруз по току ЧРП НУ1");
    EXPECT_TRUE(faulty[1]);
    EXPECT_TRUE(reclose.tripped(1));
    EXPECT_TRUE(events.empty()); // the partner goes on stroking
    run(kMinute - 10);
    EXPECT_EQ(reclose.takePending(), 0);
    run(20);
    EXPECT_TRUE(reclose.pending(1));
    EXPECT_TRUE(journalled("АПВ НУ1"));
    EXPECT_EQ(reclose.takePending(), 1);
    EXPECT_EQ(reclose.takePending(), 0);
}

TEST_F(ReclosePartsTest, OutsideAutomaticAUnitIsNotTakenOutAndALaterDelayOnlyClearsTheAlarm) {
    automatic = false;
    overCurrent[2] = true;
    reclose.checkOverCurrent();
    EXPECT_TRUE(active(kAlarmOverCurrent));
    EXPECT_FALSE(faulty[2]);
    EXPECT_FALSE(reclose.tripped(2));

    alarms.clear();
    automatic = true;
    overCurrent[2] = false;
    overCurrent[1] = true;
    reclose.checkOverCurrent();
    EXPECT_TRUE(faulty[1]);
    automatic = false; // the switch leaves automatic during the delay
    run(kMinute + 10);
    EXPECT_FALSE(reclose.pending(1));
    EXPECT_FALSE(active(kAlarmOverCurrent));
}

TEST_F(ReclosePartsTest, BothUnitsTrippedStopTheDriveAndRecloseTogether) {
    overCurrent[1] = overCurrent[2] = true;
    reclose.checkOverCurrent();
    EXPECT_EQ(alarms[kAlarmOverCurrentReclose], "20.2 Перегруз по току ЧРП НУ1 и НУ2. АПВ №1, 1");
    EXPECT_EQ(events, (std::vector<std::string>{"stop"}));
    overCurrent[1] = overCurrent[2] = false;
    run(kMinute + 10);
    EXPECT_EQ(events, (std::vector<std::string>{"stop", "line1+", "line2+", "group"}));
    EXPECT_FALSE(active(kAlarmOverCurrentReclose));
    EXPECT_EQ(reclose.count(1), 1);
    EXPECT_EQ(reclose.count(2), 1);
    EXPECT_FALSE(faulty[1] || faulty[2]);

    events.clear();
    sequence.bothPulsesEnded();
    EXPECT_EQ(events, (std::vector<std::string>{"line1-", "line2-", "select", "start"}));
    EXPECT_FALSE(active(kAlarmOverCurrent));
    EXPECT_FALSE(reclose.tripped(1) || reclose.tripped(2));
    EXPECT_FLOAT_EQ(config.freqDrive1.value, config.minFreqDrive1.value);
}

TEST_F(ReclosePartsTest, NumAraUsedUpStopsForGoodAndCompletedCyclesForgetTheCount) {
    config.pu2Mode.current = kUnitOff;
    reclose.countReset(1);
    reclose.countReset(1);
    overCurrent[1] = true;
    reclose.checkOverCurrent();
    EXPECT_EQ(alarms[kAlarmOverCurrentStop], "20.3 Останвока. Перегрузка по току ЧРП НУ1");
    EXPECT_EQ(events, (std::vector<std::string>{"stop"}));
    run(kMinute + 10);
    EXPECT_FALSE(active(kAlarmOverCurrentReclose)); // no reclose armed

    config.araReset.value = 3;
    for (int i = 0; i < 3; ++i)
        reclose.cycleCompleted(3);
    EXPECT_EQ(reclose.count(1), 2);
    reclose.cycleCompleted(3);
    EXPECT_EQ(reclose.count(1), 0);
    EXPECT_TRUE(journalled("Сброс счетчика АПВ НУ1"));
}

TEST_F(ReclosePartsTest, ARodOverloadHoldsTheOverCurrentBack) {
    alarms.emplace(kAlarmRodOverload, "");
    overCurrent[1] = true;
    reclose.checkOverCurrent();
    EXPECT_FALSE(active(kAlarmOverCurrent));
}

TEST_F(ReclosePartsTest, AUnitResetWaitsForAFreshReportThenGoesUpAndLowersItsFrequencyOnce) {
    overCurrent[1] = true;
    config.pu2Mode.current = kUnitOff;
    reclose.checkOverCurrent(); // alone: a group reclose, but the unit path is what is tested here
    events.clear();
    overCurrent[1] = false;
    sequence.beginUnitReset(1);
    EXPECT_EQ(events, (std::vector<std::string>{"stop", "line1+", "pulse1"}));
    EXPECT_EQ(reclose.count(1), 1);
    events.clear();
    fresh[1] = false;
    sequence.pulseEnded(1);
    EXPECT_EQ(events, (std::vector<std::string>{"line1-", "power1", "check1"}));
    events.clear();
    for (int i = 0; i < DriveResetSequence::kFreshReadingWaits; ++i)
        sequence.checkDue(1);
    EXPECT_EQ(events, std::vector<std::string>(DriveResetSequence::kFreshReadingWaits, "wait"));
    events.clear();
    sequence.checkDue(1); // judged after all, on what it says now
    EXPECT_EQ(events, (std::vector<std::string>{"select", "up"}));
    EXPECT_FALSE(reclose.tripped(1));
    EXPECT_EQ(config.selectedDrive1.current, 1);
    float setPoint = 0;
    EXPECT_TRUE(reclose.takeRestarted(1, setPoint));
    EXPECT_FLOAT_EQ(setPoint, 10.0f);
    EXPECT_FALSE(reclose.takeRestarted(1, setPoint));
}

TEST_F(ReclosePartsTest, ADriveStillInOverCurrentRestartsWithoutItAndTheBottomSensorIsWaitedFor) {
    sequence.beginUnitReset(2);
    overCurrent[2] = true;
    events.clear();
    sequence.checkDue(2);
    EXPECT_EQ(events, (std::vector<std::string>{"start"}));

    overCurrent[2] = false;
    confirming = true;
    events.clear();
    sequence.checkDue(2);
    EXPECT_EQ(events, (std::vector<std::string>{"select", "wait"}));
    EXPECT_FALSE(reclose.restartedAfterReset(2));
    events.clear();
    automatic = false;
    sequence.pulseEnded(2);
    EXPECT_EQ(events, (std::vector<std::string>{"line2-", "power2"})); // the pulse ends, no check
}

} // namespace
