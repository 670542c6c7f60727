// The outputs that follow the alarm list on their own: the status outputs by mode, the blank pattern
// of a remote stop, and the work-control relays tripped by a mode or an alarm with its bit.

#include "config/config.h"
#include "core/journal.h"
#include "core/registry.h"
#include "drive/alarm_outputs.h"
#include "drive/controller_types.h"
#include "drive/discrete_outputs.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <map>

namespace {

class AlarmOutputsTest : public ::testing::Test {
protected:
    AlarmOutputsTest() : config(board.path("/etc/velkord"), board.path("/etc/velkord_perf")) {
        gConfig = &config;
    }
    ~AlarmOutputsTest() override {
        gConfig = nullptr;
        journalClose();
    }
    std::string status() {
        return std::to_string(outputs[kOutputStatusAutomatic]) + "/" +
               std::to_string(outputs[kOutputStatusAlarm]) + "/" +
               std::to_string(outputs[kOutputStatusStopped]);
    }

    TestBoard board;
    Config config;
    AlarmList list;
    int mode = kModeAutomatic;
    std::map<int, bool> outputs;
    bool blank = false;
    AlarmOutputs alarmOutputs{list,
                              {[this] { return mode; }, [this](int n, bool on) { outputs[n] = on; },
                               [this](bool on) { blank = on; }}};
};

TEST_F(AlarmOutputsTest, TheStatusOutputsFollowTheModeAndTheFirstAlarm) {
    list.notify();
    EXPECT_EQ(status(), "1/0/0");
    mode = kModeStop;
    list.notify();
    EXPECT_EQ(status(), "0/0/1");
    mode = kModeManual;
    list.notify();
    EXPECT_EQ(status(), "1/1/1");
    mode = kModeUnknown;
    outputs.clear();
    list.notify();
    EXPECT_TRUE(outputs.empty());
}

TEST_F(AlarmOutputsTest, AWaitForTheRemoteStartBlanksThePanelUntilItGoes) {
    list.add(makeAlarm(kAlarmRemoteStartWait));
    EXPECT_TRUE(blank);
    list.remove(kAlarmRemoteStartWait);
    EXPECT_FALSE(blank);
}

TEST_F(AlarmOutputsTest, TheRelaysTripWithAnAlarmOfTheirBitAndReleaseWhenNoReasonRemains) {
    config.workControl.mask = (1ull << 0) | (1ull << 3); // manual mode and alarm 1
    alarmOutputs.recomputeRelays();
    EXPECT_TRUE(outputs[kOutputRelay1] && outputs[kOutputRelay2]);
    list.add(makeAlarm(1));
    alarmOutputs.alarmRaised(1);
    EXPECT_FALSE(outputs[kOutputRelay1] || outputs[kOutputRelay2]);
    mode = kModeManual;
    list.remove(1);
    alarmOutputs.alarmCleared(1);
    EXPECT_FALSE(outputs[kOutputRelay1]); // manual mode still trips them
    mode = kModeAutomatic;
    alarmOutputs.recomputeRelays();
    EXPECT_TRUE(outputs[kOutputRelay1] && outputs[kOutputRelay2]);
}

} // namespace
