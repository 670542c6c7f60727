// What the layers above the drive see of it: the read-only DriveView and the DriveCommands, each
// exercised through a reference of that interface only.

#include "tests/drive/controller_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

class DriveInterfacesTest : public ControllerFixture {
protected:
    const DriveView& view() { return controller->view(); }
    DriveCommands& commands() { return controller->commands(); }
    void makeDevices(std::initializer_list<const char*> names) {
        for (const char* path : {"/sys/bus", "/sys/bus/w1", "/sys/bus/w1/devices"})
            ::mkdir(board.path(path).c_str(), 0755);
        for (const char* name : names)
            ASSERT_EQ(::mkdir(board.path(std::string("/sys/bus/w1/devices/") + name).c_str(), 0755), 0);
    }
};

TEST_F(DriveInterfacesTest, TheViewShowsModeStateAlarmsSensorsAndValvesWithTheirTexts) {
    startIn(kModeAutomatic);
    settle();
    EXPECT_EQ(view().modeSwitch(1), kModeAutomatic);
    EXPECT_STREQ(view().modeSwitchDisplayText(1), "Автоматический режим");
    EXPECT_EQ(view().strokeState(), controller->view().strokeState());
    EXPECT_EQ(view().bottomSensorState(1), kSensorActive);
    EXPECT_STREQ(view().bottomSensorText(1), "активен");
    EXPECT_STREQ(view().topSensorText(1), "неактивен");
    EXPECT_EQ(view().valveOn(1), valve(1));
    EXPECT_STREQ(view().unitFaultText(2), "OK");
    EXPECT_EQ(view().currentAlarmText(), "Нет аварий");

    controller->raiseAlarm(makeAlarm(6));
    EXPECT_TRUE(view().isAlarmActive(6));
    EXPECT_EQ(view().alarms().count(), 1u);
    EXPECT_EQ(view().currentAlarmText(), "9.1 Остановка по обрыву нижнего дат.");
    ASSERT_EQ(view().alarmEntries().size(), 1u);
    EXPECT_EQ(view().alarmEntries().front().first, "alarm6");
}

TEST_F(DriveInterfacesTest, MeasurementsCarryTheirValidity) {
    startIn(kModeStop);
    settle();
    // The converter reads 4 mA: P = 1.0 through a good pressure sensor.
    EXPECT_TRUE(view().pressure().valid);
    EXPECT_NEAR(view().pressure().value, 1.0f, 0.05f);
    EXPECT_FALSE(view().oilTemperature().valid);
    controller->setTemperatureSensorState(true);
    controller->onOilTemperature(41.5f);
    EXPECT_TRUE(view().oilTemperature().valid);
    EXPECT_FLOAT_EQ(view().oilTemperature().value, 41.5f);
    EXPECT_TRUE(view().dynamograms().empty());
}

TEST_F(DriveInterfacesTest, ARawRegisterWriteReachesTheDriveOfThatUnit) {
    startIn(kModeStop);
    EXPECT_TRUE(commands().writeDriveRegister(2, 0x2105, 777));
    run(500);
    EXPECT_EQ(drive(2).parameter(0x2105), 777);
    EXPECT_EQ(drive(1).parameter(0x2105), 0);
}

TEST_F(DriveInterfacesTest, TheThermometerSearchCountsTheSensorsAndStoresTheOnlyOne) {
    startIn(kModeStop);
    EXPECT_EQ(commands().searchThermometer(), 0);
    makeDevices({"10-a", "10-b"});
    EXPECT_EQ(commands().searchThermometer(), 2);
    EXPECT_EQ(config->thermSensorId, "");
    ASSERT_EQ(::rmdir(board.path("/sys/bus/w1/devices/10-b").c_str()), 0);
    EXPECT_EQ(commands().searchThermometer(), 1);
    EXPECT_EQ(config->thermSensorId, "10-a");
    EXPECT_EQ(file("/etc/thermSensorId"), "10-a\n");
}

TEST_F(DriveInterfacesTest, ResettingThePerformanceParametersStartsTheirFileAfresh) {
    startIn(kModeStop);
    config->selectedDrive1.set(1);
    config->freqDrive1.set(13);
    ASSERT_NE(file("/etc/velkord_perf").find("selectedDrive1"), std::string::npos);
    commands().resetPerformanceParameters();
    EXPECT_EQ(config->selectedDrive1.current, 0);
    EXPECT_NE(config->freqDrive1.value, 13);
    EXPECT_EQ(controller->tuning().smart().target(), 0);
    EXPECT_EQ(controller->tuning().error(), 0);
}

TEST_F(DriveInterfacesTest, ManualKeysStartAndStopTheMotor) {
    config->manualFreqDrive1.value = 25;
    config->pu1Mode.current = kUnitOn;
    startIn(kModeManual);
    commands().manualKey(1, true, true);
    EXPECT_TRUE(unit(1).running());
    EXPECT_FLOAT_EQ(unit(1).setPoint(), 25);
    commands().manualKey(1, true, false);
    EXPECT_FALSE(unit(1).running());
    EXPECT_EQ(config->manualReverseStart.current, 1);
}

} // namespace
