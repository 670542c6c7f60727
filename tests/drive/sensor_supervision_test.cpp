// Sensor supervision: analogue position sensors, the pressure sensor and rod load, the contact
// manometer, the oil level, position sensor faults, the valve check, cooling, manual mode, the
// settings that are alarms, the board thermometer and the journal's parameter line.

#include "tests/drive/controller_fixture.h"

#include "core/log.h"

#include <sys/stat.h>

namespace {

// Counts for 12 mA on the pressure loop.
constexpr int kTwelveMilliamps = 2163;

class SensorSupervisionTest : public ControllerFixture {
protected:
    SensorSupervisionTest() {
        config->pu1Mode.current = kUnitOn;
        config->ev1Mode.current = kUnitOn;
    }
};

TEST_F(SensorSupervisionTest, AnaloguePositionSensorsAreFilteredAndClassified) {
    config->topSensorType.current = 0;
    config->botSensorType.current = 0;
    rig->setAdc(0, kAnalogueInactive);
    rig->setAdc(1, kAnalogueActive);
    startIn(kModeStop);
    run(200);
    EXPECT_NEAR(unit(1).topVolts, 2000 * 2.5f / 4096 / 0.39f, 0.001f);
    EXPECT_NEAR(unit(1).topVolts, 3.13f, 0.005f);
    EXPECT_EQ(controller->view().topSensorState(1), kSensorInactive);
    EXPECT_EQ(controller->view().bottomSensorState(1), kSensorActive);
    EXPECT_STREQ(controller->view().bottomSensorText(1), "активен");
    EXPECT_TRUE(output(38)); // the bottom lamp of НУ1
    EXPECT_FALSE(output(34));

    rig->setAdc(0, 0); // a broken wire: the filtered voltage falls below 0.1 V within a few runs
    run(100);
    EXPECT_EQ(controller->view().topSensorState(1), kSensorOpen);
    EXPECT_TRUE(controller->isAlarmActive(4));
    rig->setAdc(0, 4095); // beyond 6 V: short circuit
    run(100);
    EXPECT_EQ(controller->view().topSensorState(1), kSensorShort);
    EXPECT_TRUE(controller->isAlarmActive(3));
    EXPECT_FALSE(controller->isAlarmActive(4));
}

TEST_F(SensorSupervisionTest, TheAdcTimerRunsEveryNineMillisecondsAndThePressureEveryFifty) {
    startIn(kModeStop);
    size_t before = board.platform().simSpi().converterTransfers();
    run(900);
    size_t transfers = board.platform().simSpi().converterTransfers() - before;
    // 100 runs with two position reads each, 18 pressure reads.
    EXPECT_NEAR(static_cast<double>(transfers), 200 + 18, 4);
}

TEST_F(SensorSupervisionTest, TwelveMilliampsUnsmoothedIsP125_5AndALoadOf6225KgfOn50Cm2) {
    config->pressureSmoothing.value = 0;
    config->cylinderArea.value = 50;
    rig->setAdc(4, kTwelveMilliamps);
    startIn(kModeStop);
    run(100);
    ASSERT_TRUE(controller->view().pressure().valid);
    EXPECT_NEAR(controller->view().pressure().value, 125.5f, 0.05f);
    EXPECT_NEAR(controller->view().load().value, 6225.0f, 3.0f);
    EXPECT_TRUE(controller->pressureSensorOk(1));
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "ДД1 исправен").size(), 1u);
}

TEST_F(SensorSupervisionTest, ABrokenPressureLoopIsAWarningUntilItComesBack) {
    startIn(kModeStop);
    run(100);
    rig->setAdc(4, 0); // 0 mA
    run(500);
    EXPECT_FALSE(controller->view().pressure().valid);
    EXPECT_TRUE(controller->isAlarmActive(22));
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "обрыв ДД1").size(), 1u);
    rig->setAdc(4, 4095); // 22.7 mA: beyond the range
    run(500);
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "замыкание ДД1").size(), 1u);
    rig->setAdc(4, kFourMilliamps);
    run(500);
    EXPECT_FALSE(controller->isAlarmActive(22));
    EXPECT_TRUE(controller->view().pressure().valid);
}

TEST_F(SensorSupervisionTest, AContactManometerPulseShorterThanTheDelayChangesNothing) {
    config->delaySwingProtection.value = 2;
    startIn(kModeAutomatic);
    setInput(14, true);
    run(1500);
    setInput(14, false);
    run(3000);
    EXPECT_FALSE(controller->isAlarmActive(18));
    EXPECT_EQ(state(), Controller::kFirstUp);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "ЭКМ активен").size(), 1u);

    setInput(14, true);
    run(2100);
    EXPECT_TRUE(controller->isAlarmActive(18));
    EXPECT_EQ(state(), Controller::kStopped);
    setInput(14, false);
    run(1000);
    EXPECT_TRUE(controller->isAlarmActive(18)); // inactive for less than the delay
    run(1100);
    EXPECT_FALSE(controller->isAlarmActive(18));
    EXPECT_EQ(state(), Controller::kFirstUp); // released: the drive starts again
}

TEST_F(SensorSupervisionTest, ALowOilLevelStopsTheDriveAfterItsDelayAndItsRecoveryRestartsIt) {
    config->oilSensorDelay.value = 3;
    startIn(kModeAutomatic);
    // The default inversion swaps the inputs: 10 high, 9 low is the sensor active (low oil).
    setInput(9, false);
    setInput(10, true);
    run(2900);
    EXPECT_FALSE(controller->isAlarmActive(1));
    run(200);
    EXPECT_EQ(controller->view().currentAlarmText(), "13. Низкий уровень масла");
    EXPECT_EQ(state(), Controller::kStopped);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "датчик уровня масла активен").size(), 1u);

    setInput(9, true);
    setInput(10, false);
    run(3100);
    EXPECT_FALSE(controller->isAlarmActive(1));
    EXPECT_EQ(state(), Controller::kFirstUp);
}

TEST_F(SensorSupervisionTest, OilLevelSensorFaultsStopAtOnceUnlessItsMonitoringIsOff) {
    startIn(kModeAutomatic);
    setInput(9, false); // both low: open circuit
    settle();
    EXPECT_TRUE(controller->isAlarmActive(2));
    EXPECT_EQ(state(), Controller::kStopped);
    setInput(9, true);
    setInput(10, true); // both high: short circuit
    settle();
    EXPECT_FALSE(controller->isAlarmActive(2));
    EXPECT_TRUE(controller->isAlarmActive(14));
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "КЗ датчика уровня масла").size(), 1u);
    setInput(10, false);
    settle();
    EXPECT_FALSE(controller->isAlarmActive(14));
    EXPECT_EQ(state(), Controller::kFirstUp);

    config->oilSensorConnection.set(0);
    EXPECT_TRUE(controller->isAlarmActive(31));
    setInput(9, false);
    settle();
    EXPECT_FALSE(controller->isAlarmActive(2)); // not monitored
    config->oilSensorConnection.set(1);
    EXPECT_FALSE(controller->isAlarmActive(31));
    EXPECT_TRUE(controller->isAlarmActive(2)); // the sensor is open after all
}

TEST_F(SensorSupervisionTest, ABreakOfTheBottomSensorIsConfirmedAfter200MsStopsAndItsRecoveryRestarts) {
    startIn(kModeAutomatic, false);
    EXPECT_EQ(state(), Controller::kFirstDown);
    setBottomSensor(1, kSensorOpen);
    run(150);
    EXPECT_FALSE(controller->isAlarmActive(6));
    run(100);
    EXPECT_EQ(controller->view().currentAlarmText(), "9.1 Остановка по обрыву нижнего дат.");
    EXPECT_EQ(state(), Controller::kStopped);
    run(1000);
    EXPECT_FALSE(output(38)); // the lamp blinks slowly: lit 100 ms of every 900 (output 38 is inverted)
    int lit = 0;
    for (const auto& frame : board.platform().simSpi().outputFrames())
        lit += (frame.bits >> 38 & 1) == 0;
    EXPECT_GE(lit, 9);
    EXPECT_LE(lit, 25);
    EXPECT_STREQ(controller->view().bottomSensorText(1), "обрыв");

    setBottomSensor(1, kSensorInactive);
    settle();
    EXPECT_FALSE(controller->isAlarmActive(6));
    EXPECT_EQ(state(), Controller::kFirstDown);
    EXPECT_TRUE(journalHas("Снятие аварии: 9.1 Остановка по обрыву нижнего дат."));
}

TEST_F(SensorSupervisionTest, AnOpenPatternShorterThan200MsIsNotTaken) {
    startIn(kModeAutomatic, false);
    setBottomSensor(1, kSensorOpen);
    run(100);
    setBottomSensor(1, kSensorInactive);
    run(300);
    EXPECT_FALSE(controller->isAlarmActive(6));
    EXPECT_EQ(state(), Controller::kFirstDown);
}

TEST_F(SensorSupervisionTest, WithATimeForABrokenBottomSensorItsFaultsAreWarningsAndTheDownStrokeIsTimed) {
    config->downTimeOnBrokenSensor.value = 4;
    config->downTimeMax.value = 10;
    startIn(kModeAutomatic, false);
    setBottomSensor(1, kSensorShort);
    run(300);
    EXPECT_TRUE(controller->isAlarmActive(29));
    EXPECT_EQ(state(), Controller::kFirstDown);
    run(9800); // this down stroke keeps the limit it began with
    EXPECT_EQ(state(), Controller::kFirstUp);
    setTopSensor(1, kSensorActive);
    settle();
    EXPECT_EQ(state(), Controller::kFirstCycleDown);
    setTopSensor(1, kSensorInactive);
    run(4000); // the next one is timed by downTimeOnBrokenSensor
    EXPECT_EQ(state(), Controller::kUp);
}

TEST_F(SensorSupervisionTest, BothSensorsActiveStopTheDriveUntilTheBottomSensorLeaves) {
    startIn(kModeAutomatic);
    setTopSensor(1, kSensorActive);
    settle();
    EXPECT_TRUE(controller->isAlarmActive(8));
    EXPECT_EQ(state(), Controller::kStopped);
    setBottomSensor(1, kSensorInactive);
    settle();
    EXPECT_FALSE(controller->isAlarmActive(8));
}

TEST_F(SensorSupervisionTest, AValveWithoutCurrentIsAnOpenCircuitThatStopsTheDrive) {
    startIn(kModeAutomatic, false);
    EXPECT_EQ(controller->view().valveState(1), kSensorOk);
    rig->setValveFeedback(1, false);
    rig->set(17, false);
    // The next energising finds no current after 200 ms.
    setBottomSensor(1, kSensorActive);
    settle();
    rodReachesTop();
    run(250);
    EXPECT_EQ(controller->view().valveState(1), kSensorOpen);
    EXPECT_EQ(controller->alarms().entries().at(34).text, "27.1 Обрыв ЭК1");
    EXPECT_EQ(controller->alarms().entries().at(12).text, "27.3 Остановка: обрыв ЭК1");
    EXPECT_EQ(state(), Controller::kStopped);
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "ЭК1: помечен как неисправный").size(), 1u);

    // The feedback line comes back: a consistent reading marks the valve healthy again.
    rig->setValveFeedback(1, true);
    settle();
    run(300);
    EXPECT_EQ(controller->view().valveState(1), kSensorOk);
    EXPECT_FALSE(controller->isAlarmActive(34));
    EXPECT_FALSE(controller->isAlarmActive(12));
}

TEST_F(SensorSupervisionTest, WorkingWithBrokenValvesAllowedIgnoresAShortWhileTheOtherValveIsHealthy) {
    config->workWithBrokenEV.current = 0;
    config->ev2Mode.current = kUnitOn;
    startIn(kModeStop);
    rig->setValveFeedback(2, false);
    rig->set(18, true); // current in ЭК2 while it is off
    settle();
    EXPECT_EQ(controller->view().valveState(2), kSensorShort);
    EXPECT_EQ(controller->alarms().entries().at(34).text, "27.2 КЗ ЭК2");
    EXPECT_EQ(controller->alarms().entries().at(35).text, "27.4 Игнорирование КЗ ЭК2");
    EXPECT_FALSE(controller->isAlarmActive(12));
    EXPECT_STREQ(controller->view().valveStateText(2), "КЗ");
}

TEST_F(SensorSupervisionTest,
       CoolingFeedbackThatDoesNotFollowIsACoolingFaultAndWithASensorFaultTheEmergencyMode) {
    config->pu2Mode.current = kUnitAuto;
    config->freqDrive1.value = 30;
    startIn(kModeAutomatic);
    rig->setCoolingFeedback(false);
    controller->setTemperatureSensorState(true);
    controller->onOilTemperature(47); // above tempCondOn: the extra pump
    EXPECT_TRUE(output(Controller::kCoolingPumpOutput));
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "Включен дополнительный насос охлаждения").size(), 1u);
    run(250);
    EXPECT_TRUE(controller->coolingFault(1));
    EXPECT_TRUE(controller->isAlarmActive(38));

    controller->setTemperatureSensorState(false);
    EXPECT_TRUE(controller->isAlarmActive(21));
    EXPECT_TRUE(controller->isAlarmActive(36));
    EXPECT_TRUE(output(Controller::kFanOutput)); // without a temperature the fan runs
    EXPECT_FLOAT_EQ(config->freqDrive1.value, 50);
    EXPECT_FALSE(controller->view().oilTemperature().valid);

    rig->setCoolingFeedback(true);
    settle();
    EXPECT_FALSE(controller->isAlarmActive(38));
    EXPECT_FALSE(controller->isAlarmActive(36));
    EXPECT_FLOAT_EQ(config->freqDrive1.value, 30); // the selections before the emergency mode
    controller->setTemperatureSensorState(true);
    EXPECT_FALSE(controller->isAlarmActive(21));
    controller->onOilTemperature(35);
    EXPECT_FALSE(output(Controller::kCoolingPumpOutput));
    EXPECT_FALSE(output(Controller::kFanOutput));
}

TEST_F(SensorSupervisionTest, ManualButtonsRunTheMotorAndOpenTheValveWithinTheLimits) {
    config->manualFreqDrive1.value = 25;
    startIn(kModeManual);
    setInput(25, true); // НУ1 up
    settle();
    EXPECT_TRUE(unit(1).running());
    EXPECT_FLOAT_EQ(unit(1).setPoint(), 25);
    setInput(25, false);
    settle();
    EXPECT_FALSE(unit(1).running());
    EXPECT_EQ(config->manualReverseStart.current, 1);

    setInput(31, true); // НУ1 down, but the rod is at the bottom
    settle();
    EXPECT_FALSE(valve(1));
    setInput(31, false);
    settle();
    config->manualNoLimits.set(0); // one event without limits
    setInput(31, true);
    settle();
    EXPECT_TRUE(valve(1));
    EXPECT_EQ(config->manualNoLimits.current, 1);
    setInput(31, false);
    settle();
    EXPECT_FALSE(valve(1));

    setInput(39, true); // НУ2 up: pu2Mode is off
    settle();
    EXPECT_FALSE(unit(2).running());
}

TEST_F(SensorSupervisionTest, AManualUpPressLongerThanUpTimeMaxDoesNotBeginWedging) {
    config->upTimeMax.value = 5;
    config->wedgingEV.current = 1; // "Без нагрузки": it would open the valves
    startIn(kModeManual);
    setInput(25, true);
    settle();
    run(6000);
    EXPECT_FALSE(controller->isAlarmActive(7));
    EXPECT_EQ(state(), Controller::kStopped);
    EXPECT_TRUE(unit(1).running());
    EXPECT_FALSE(valve(1));
    EXPECT_FALSE(valve(2));
    setInput(25, false);
    settle();
    EXPECT_FALSE(unit(1).running());
}

TEST_F(SensorSupervisionTest, OutsideManualModeTheButtonsOnlyWakeThePanel) {
    startIn(kModeStop);
    display->setBlank(true);
    setInput(25, true);
    settle();
    EXPECT_FALSE(unit(1).running());
    EXPECT_FALSE(display->isBlanked());
}

TEST_F(SensorSupervisionTest, ThePanelEnableInputBlanksTheDisplay) {
    startIn(kModeStop);
    setInput(27, true);
    settle();
    EXPECT_FALSE(display->isBlanked());
    setInput(27, false);
    settle();
    EXPECT_TRUE(display->isBlanked());
}

TEST_F(SensorSupervisionTest, ARemoteStopHaltsAndWaitsAndTheRemoteStartStartsAgain) {
    startIn(kModeAutomatic);
    EXPECT_EQ(state(), Controller::kFirstUp);
    config->stopDrive.set(0);
    EXPECT_EQ(controller->view().currentAlarmText(), "3. Ожидание удаленного запуска");
    EXPECT_EQ(state(), Controller::kStopped);
    setModeSwitch(1, kModeStop);
    settle();
    setModeSwitch(1, kModeAutomatic);
    settle();
    EXPECT_EQ(state(), Controller::kStopped); // the local switch does not override the remote stop
    config->stopDrive.set(1);
    EXPECT_FALSE(controller->isAlarmActive(0));
    EXPECT_EQ(state(), Controller::kFirstUp);
}

TEST_F(SensorSupervisionTest, ThreeWireMagneticSensorsDisableTheOpenCircuitChecks) {
    config->magSensorConnection.current = 0;
    startIn(kModeAutomatic, false);
    EXPECT_TRUE(controller->isAlarmActive(32));
    EXPECT_TRUE(controller->isAlarmActive(33));
    setBottomSensor(1, kSensorOpen);
    run(300);
    EXPECT_FALSE(controller->isAlarmActive(6));
    config->botSensorType.set(0);
    EXPECT_FALSE(controller->isAlarmActive(33));
    EXPECT_TRUE(controller->isAlarmActive(32));
}

TEST_F(SensorSupervisionTest, TheDetailedJournalWritesTheParameterLineAfterEachEntry) {
    startIn(kModeStop);
    run(3000);
    config->logLevel.set(1);
    controller->raiseAlarm(makeAlarm(18));
    std::vector<std::string> entries = journal();
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[entries.size() - 2], "Авария привода: 4. Остановка по ЭКМ");
    std::string load = formatText("%.1f", controller->view().load().value);
    EXPECT_EQ(entries.back(), "P=1.0 атм. G=" + load +
                                  " кгс I1=0.0 A I2=0.0 A F1=0.0 Гц F2=0.0 Гц T=н/д ЭК1=выкл ЭК2=выкл "
                                  "ДВ=неактивен ДН=активен");
    rig->setAdc(4, 0);
    drive(2).setSilent(true);
    run(8000);
    controller->clearAlarm(18);
    EXPECT_EQ(journal().back().rfind("P=н/д G=н/д I1=0.0 A I2=н/д", 0), 0u) << journal().back();
}

TEST_F(SensorSupervisionTest, TheOnlyBoardThermometerIsStoredAndSeveralAreReported) {
    ASSERT_EQ(::mkdir(board.path("/sys/bus").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(board.path("/sys/bus/w1").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(board.path("/sys/bus/w1/devices").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(board.path("/sys/bus/w1/devices/10-000802b4c1d2").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(board.path("/sys/bus/w1/devices/w1_bus_master1").c_str(), 0755), 0);
    startIn(kModeStop);
    EXPECT_EQ(config->thermSensorId, "10-000802b4c1d2");
    EXPECT_EQ(file("/etc/thermSensorId"), "10-000802b4c1d2\n");
    EXPECT_EQ(
        board.logLinesWith(LOG_INFO, "Сохранен температурный датчик 10-000802b4c1d2 как датчик платы KVB-210")
            .size(),
        1u);
    EXPECT_NE(file("/etc/velkord").find("10-000802b4c1d2"), std::string::npos);
}

TEST_F(SensorSupervisionTest, SeveralOrNoThermometersLeaveTheIdEmpty) {
    ASSERT_EQ(::mkdir(board.path("/sys/bus").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(board.path("/sys/bus/w1").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(board.path("/sys/bus/w1/devices").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(board.path("/sys/bus/w1/devices/10-a").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(board.path("/sys/bus/w1/devices/10-b").c_str(), 0755), 0);
    startIn(kModeStop);
    EXPECT_EQ(config->thermSensorId, "");
    EXPECT_EQ(board.logLinesWith(LOG_WARNING, "Обнаружено несколько сенсоров температуры").size(), 1u);
}

} // namespace

namespace {

TEST_F(SensorSupervisionTest, KeysReachThePanelPageThatIsShown) {
    startIn(kModeStop);
    for (int32_t code : {1, 2, 3, 4, 5, 6})
        controller->raiseAlarm(makeAlarm(code));
    // The main screen comes first; the alarm list stands to its right.
    setInput(38, true); // right
    settle();
    setInput(38, false);
    settle();
    ASSERT_EQ(rootMenu->currentItem(), alarmPage);
    setInput(35, true); // down
    settle();
    setInput(35, false);
    settle();
    EXPECT_EQ(alarmPage->scrollOffset(), 12);
}

} // namespace
