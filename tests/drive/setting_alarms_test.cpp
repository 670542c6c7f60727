// The settings that are alarms on their own: the remote stop and start, and the open-circuit checks a
// two-wire oil sensor or three-wire magnetic position sensors cannot have.

#include "config/config.h"
#include "core/journal.h"
#include "core/registry.h"
#include "drive/setting_alarms.h"
#include "tests/drive/supervision_fake.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>

namespace {

class SettingAlarmsTest : public ::testing::Test {
protected:
    SettingAlarmsTest() : config(board.path("/etc/velkord"), board.path("/etc/velkord_perf")) {
        gConfig = &config;
        config.stopDrive.current = 1;
        config.oilSensorConnection.current = 1;
        config.magSensorConnection.current = 1;
        config.topSensorType.current = 1;
        config.botSensorType.current = 1;
    }
    ~SettingAlarmsTest() override {
        gConfig = nullptr;
        journalClose();
    }

    TestBoard board;
    Config config;
    FakeSupervision drive;
    SettingAlarms alarms{drive};
};

TEST_F(SettingAlarmsTest, AtStartUpEverySettingThatIsAnAlarmIsRaised) {
    alarms.evaluate();
    EXPECT_TRUE(drive.active.empty());
    config.stopDrive.current = 0;
    config.oilSensorConnection.current = 0;
    config.magSensorConnection.current = 0;
    alarms.evaluate();
    EXPECT_TRUE(drive.isAlarmActive(kAlarmRemoteStartWait));
    EXPECT_TRUE(drive.isAlarmActive(kAlarmOilLevelCheckOff));
    EXPECT_TRUE(drive.isAlarmActive(kAlarmTopSensorBreakCheckOff));
    EXPECT_TRUE(drive.isAlarmActive(kAlarmBottomSensorBreakCheckOff));
    EXPECT_EQ(drive.halts, 0);
}

TEST_F(SettingAlarmsTest, TheRemoteStopHaltsAndTheRemoteStartClearsAndRestarts) {
    config.stopDrive.current = 0;
    alarms.stopDriveChanged();
    EXPECT_TRUE(drive.isAlarmActive(kAlarmRemoteStartWait));
    EXPECT_EQ(drive.halts, 1);
    config.stopDrive.current = 1;
    alarms.stopDriveChanged();
    EXPECT_FALSE(drive.isAlarmActive(kAlarmRemoteStartWait));
    EXPECT_EQ(drive.restarts, alarmStopsTheDrive(kAlarmRemoteStartWait) ? 1 : 0);
}

TEST_F(SettingAlarmsTest, OnlyAThreeWireMagneticSensorLosesItsOpenCircuitCheck) {
    config.magSensorConnection.current = 0;
    config.botSensorType.current = 0; // the analogue bottom sensor tells an open circuit
    alarms.sensorConnectionChanged();
    EXPECT_TRUE(drive.isAlarmActive(kAlarmTopSensorBreakCheckOff));
    EXPECT_FALSE(drive.isAlarmActive(kAlarmBottomSensorBreakCheckOff));
    config.magSensorConnection.current = 1;
    alarms.sensorConnectionChanged();
    EXPECT_FALSE(drive.isAlarmActive(kAlarmTopSensorBreakCheckOff));
}

} // namespace
