// The oil level sensor on its own: its faults stop the drive at once, a low level only after
// oilSensorDelay, and a two-wire sensor is not watched for an open circuit.

#include "config/config.h"
#include "core/journal.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/oil_level.h"
#include "tests/drive/supervision_fake.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>

namespace {

class OilLevelTest : public ::testing::Test {
protected:
    OilLevelTest() : config(board.path("/etc/velkord"), board.path("/etc/velkord_perf")) {
        gTimers = &timers;
        gConfig = &config;
        config.oilSensorDelay.value = 5;
        config.oilSensorInvertion.current = 0;
        config.oilSensorConnection.current = 1;
    }
    ~OilLevelTest() override {
        gConfig = nullptr;
        gTimers = nullptr;
        journalClose();
    }
    void run(uint32_t ms) { runLoopFor(board, ms); }

    TestBoard board;
    TimerQueue timers;
    Config config;
    FakeSupervision drive;
    OilLevel level{drive};
};

TEST_F(OilLevelTest, ALowLevelStopsTheDriveOnlyAfterTheDelayAndItsEndRestartsIt) {
    EXPECT_EQ(level.state(), kSensorUnknown);
    level.inputsChanged(true, false);
    EXPECT_EQ(level.state(), kSensorActive);
    run(4990);
    EXPECT_FALSE(drive.isAlarmActive(kAlarmLowOil));
    run(20);
    EXPECT_TRUE(drive.isAlarmActive(kAlarmLowOil));
    EXPECT_EQ(drive.halts, 1);
    level.inputsChanged(false, true);
    run(5010);
    EXPECT_FALSE(drive.isAlarmActive(kAlarmLowOil));
    EXPECT_EQ(drive.restarts, alarmStopsTheDrive(kAlarmLowOil) ? 1 : 0);
}

TEST_F(OilLevelTest, AShortLevelBlipIsForgottenWithinTheDelay) {
    level.inputsChanged(false, true);
    level.inputsChanged(true, false);
    run(3000);
    level.inputsChanged(false, true);
    run(10000);
    EXPECT_FALSE(drive.isAlarmActive(kAlarmLowOil));
    EXPECT_EQ(drive.halts, 0);
}

TEST_F(OilLevelTest, OpenAndShortCircuitsStopAtOnceAndClearWhenTheSensorReadsAgain) {
    level.inputsChanged(false, false);
    EXPECT_TRUE(drive.isAlarmActive(kAlarmOilLevelSensorBreak));
    EXPECT_EQ(drive.halts, 1);
    level.inputsChanged(true, true);
    EXPECT_FALSE(drive.isAlarmActive(kAlarmOilLevelSensorBreak));
    EXPECT_TRUE(drive.isAlarmActive(kAlarmOilLevelSensorFault));
    EXPECT_EQ(drive.halts, 2);
    drive.automaticMode = false;
    level.inputsChanged(false, true);
    EXPECT_FALSE(drive.isAlarmActive(kAlarmOilLevelSensorFault));
    EXPECT_EQ(drive.halts, 2);
}

TEST_F(OilLevelTest, InvertedInputsAreSwappedAndATwoWireSensorIsNotWatchedForABreak) {
    config.oilSensorInvertion.current = 1;
    level.inputsChanged(false, true);
    EXPECT_EQ(level.state(), kSensorActive);

    config.oilSensorConnection.current = 0;
    level.connectionChanged();
    EXPECT_TRUE(drive.isAlarmActive(kAlarmOilLevelCheckOff));
    level.inputsChanged(false, false);
    EXPECT_FALSE(drive.isAlarmActive(kAlarmOilLevelSensorBreak));
    config.oilSensorConnection.current = 1;
    level.connectionChanged(); // the break shows as soon as it is watched
    EXPECT_FALSE(drive.isAlarmActive(kAlarmOilLevelCheckOff));
    EXPECT_TRUE(drive.isAlarmActive(kAlarmOilLevelSensorBreak));
    EXPECT_EQ(drive.halts, 1);
}

} // namespace
