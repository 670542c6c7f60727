// The stroke cycle as a scripted rig sees it: the position sensors moved by the test, the simulated
// drives turning the motors, the valves on the chain.

#include "platform/clock.h"
#include "tests/drive/controller_fixture.h"

namespace {

class StrokeCycleTest : public ControllerFixture {
protected:
    StrokeCycleTest() {
        config->pu1Mode.current = kUnitOn;
        config->ev1Mode.current = kUnitOn;
    }
};

TEST_F(StrokeCycleTest, AStartAtTheBottomGoesUpAtOnceOnTheMotors) {
    startIn(kModeAutomatic, true);
    EXPECT_EQ(state(), Controller::kFirstUp);
    EXPECT_FALSE(valve(1));
    EXPECT_TRUE(unit(1).running());
    EXPECT_FALSE(unit(2).running()); // pu2Mode "Откл."
    ASSERT_TRUE(runUntil([&] { return drive(1).runCommanded(); }, 3000));
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "запуск привода").size(), 1u);
}

TEST_F(StrokeCycleTest, AStartElsewhereGoesDownFirstOnTheValves) {
    startIn(kModeAutomatic, false);
    EXPECT_EQ(state(), Controller::kFirstDown);
    EXPECT_TRUE(valve(1));
    EXPECT_FALSE(valve(2)); // ev2Mode "Откл."
    EXPECT_FALSE(unit(1).running());
    // Recorded when the valves opened, at the exchange that read the mode switch.
    EXPECT_NE(controller->downStrokeStartMs(), 0u);
    EXPECT_LE(platform::monotonicMs() - controller->downStrokeStartMs(), 30u);
}

TEST_F(StrokeCycleTest, CompleteCyclesRunThroughStates2To5WithTheirTimings) {
    startIn(kModeAutomatic, true);
    rodLeavesBottom();
    run(4000);
    rodReachesTop();
    EXPECT_EQ(state(), Controller::kFirstCycleDown);
    EXPECT_FALSE(unit(1).running());
    EXPECT_TRUE(valve(1));
    EXPECT_NEAR(controller->view().upStrokeMs(), 4060, 40);
    ASSERT_TRUE(runUntil([&] { return !drive(1).runCommanded(); }, 3000));
    EXPECT_EQ(drive(1).controlWord(), 0x0434); // a normal stop of a coasting drive

    run(3000);
    rodReachesBottom();
    EXPECT_EQ(state(), Controller::kUp);
    EXPECT_FALSE(valve(1));
    EXPECT_TRUE(unit(1).running());
    // From the opening of the valve: the 3 s, the wait for the drive's stop and the sensors' debounce.
    EXPECT_GT(controller->view().downStrokeMs(), 3050u);
    EXPECT_LT(controller->view().downStrokeMs(), 3400u);
    EXPECT_EQ(controller->tuning().runs(), 0u);

    for (int cycle = 0; cycle < 3; ++cycle) {
        rodLeavesBottom();
        rodReachesTop();
        EXPECT_EQ(state(), Controller::kDown);
        rodReachesBottom();
        EXPECT_EQ(state(), Controller::kUp);
    }
    EXPECT_EQ(controller->tuning().runs(), 3u);
    EXPECT_TRUE(controller->strokeCompleted());
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "верхний датчик положения активен").size(), 4u);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "нижний датчик положения неактивен").size(), 4u);
    EXPECT_EQ(controller->view().currentAlarmText(), "Нет аварий");
}

TEST_F(StrokeCycleTest, ADownStrokeWithoutABottomSignalEndsAtTheTimeLimitLikeABottomReversal) {
    config->downTimeMax.value = 20;
    startIn(kModeAutomatic, true);
    rodLeavesBottom();
    rodReachesTop();
    rodLeavesBottom(); // the top sensor goes inactive when the rod leaves the top
    setTopSensor(1, kSensorInactive);
    settle();
    run(20000);
    EXPECT_EQ(state(), Controller::kUp);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "условие разворота").size(), 1u);
    EXPECT_TRUE(unit(1).running());

    rodReachesTop();
    EXPECT_EQ(state(), Controller::kDown);
    setTopSensor(1, kSensorInactive);
    run(20100);
    EXPECT_EQ(state(), Controller::kUp);
    EXPECT_EQ(controller->tuning().runs(), 1u); // the timed reversal in state 5 tunes like the sensor's
}

TEST_F(StrokeCycleTest, ThePerStrokeDownTimeAlarmIsRaisedWhenTheStrokeIsTimedAndClearedAfterACleanStroke) {
    config->downTimeMax.value = 5;
    config->longDownAsMalfunction.current = 0; // "Да"
    startIn(kModeAutomatic, false);
    run(5100);
    EXPECT_TRUE(controller->isAlarmActive(27));
    EXPECT_EQ(state(), Controller::kFirstUp); // the timed reversal followed
    rodLeavesBottom();
    rodReachesTop();
    rodReachesBottom();
    EXPECT_FALSE(controller->isAlarmActive(27));
}

class StrokeRateLimitTest : public StrokeCycleTest {
protected:
    StrokeRateLimitTest() {
        config->longDownTurn.current = 0;
        config->nSwings.value = 6; // 10 s a cycle
        config->freqDrive1.value = 50;
    }
    // At full speed from the bottom: up 4 s, down 6 s, up 9 s, and the rod at the top, where the down
    // stroke is shortened to keep the stroke rate.
    void reachTheTopOfTheSecondCycle() {
        runTheFirstCycle();
        rodLeavesBottom();
        run(8940);
        rodReachesTop();
    }
    // From the bottom: up 4 s, down 6 s, and the rod at the bottom in state 4.
    void runTheFirstCycle() {
        startIn(kModeAutomatic, true);
        rodLeavesBottom();
        run(3900);
        rodReachesTop();
        run(5940);
        rodReachesBottom();
    }
};

TEST_F(StrokeRateLimitTest, WithAllUnitsAtMaximumTheDownStrokeIsShortenedToKeepTheStrokeRate) {
    reachTheTopOfTheSecondCycle(); // the down stroke's share of the 10 s cycle is 6/15
    EXPECT_TRUE(controller->isAlarmActive(26));
    EXPECT_NEAR(controller->view().upStrokeMs(), 9000, 100);
    EXPECT_NEAR(controller->view().downStrokeMs(), 6000, 100);
    // The up stroke that has just ended counts, not the 4 s one before it (which would give 6 s).
    uint32_t limit = controller->view().downStrokeMs() * 60000 /
                     ((controller->view().upStrokeMs() + controller->view().downStrokeMs()) * 6);
    EXPECT_NEAR(limit, 4000, 100);
    setTopSensor(1, kSensorInactive);
    run(limit - 300);
    EXPECT_EQ(state(), Controller::kDown);
    run(400);
    EXPECT_EQ(state(), Controller::kUp);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "условие разворота").size(), 1u);
}

// A remote stop in the shortened down stroke; the restart below the maximum frequency is not
// shortened, and its bottom clears alarm 26.
TEST_F(StrokeRateLimitTest, AStrokeAfterARestartWithoutTheLimitClearsAlarm26AtTheBottom) {
    reachTheTopOfTheSecondCycle();
    ASSERT_TRUE(controller->isAlarmActive(26));
    setTopSensor(1, kSensorInactive);
    settle();
    config->stopDrive.set(0);
    EXPECT_EQ(state(), Controller::kStopped);
    config->freqDrive1.set(45);
    config->stopDrive.set(1);
    EXPECT_EQ(state(), Controller::kFirstDown);
    EXPECT_TRUE(controller->isAlarmActive(26));
    rodReachesBottom();
    EXPECT_EQ(state(), Controller::kFirstUp);
    EXPECT_FALSE(controller->isAlarmActive(26));
}

// A short bottom sensor has the down stroke timed (alarm 29); when it recovers during that stroke
// alarm 26 is looked at again and, with everything at its maximum, raised for the rest of the stroke.
TEST_F(StrokeRateLimitTest, ABottomSensorFaultClearingInTheDownStrokeRaisesAlarm26) {
    config->downTimeOnBrokenSensor.value = 20;
    runTheFirstCycle();
    rodLeavesBottom();
    setBottomSensor(1, kSensorShort);
    run(300);
    EXPECT_TRUE(controller->isAlarmActive(29));
    run(3000);
    setTopSensor(1, kSensorActive);
    settle();
    EXPECT_EQ(state(), Controller::kDown);
    EXPECT_FALSE(controller->isAlarmActive(26)); // timed for the broken sensor
    setTopSensor(1, kSensorInactive);
    setBottomSensor(1, kSensorInactive);
    settle();
    EXPECT_FALSE(controller->isAlarmActive(29));
    EXPECT_TRUE(controller->isAlarmActive(26));
    setBottomSensor(1, kSensorActive);
    settle();
    EXPECT_EQ(state(), Controller::kUp);
    EXPECT_TRUE(controller->isAlarmActive(26)); // seen in this stroke
}

// delayBDP 0 and the top sensor active at the bottom reversal: the up stroke is skipped.
TEST_F(StrokeCycleTest, AtTheBottomWithTheTopSensorActiveTheNextDownStrokeBeginsAtOnce) {
    config->downTimeOnBrokenSensor.value = 5; // both active is only a warning here
    startIn(kModeAutomatic, false);
    setTopSensor(1, kSensorActive);
    settle();
    EXPECT_EQ(state(), Controller::kFirstDown);
    setBottomSensor(1, kSensorActive);
    settle();
    EXPECT_TRUE(controller->isAlarmActive(24));
    EXPECT_EQ(state(), Controller::kFirstCycleDown);
    EXPECT_FALSE(unit(1).running());
    EXPECT_TRUE(valve(1));
}

TEST_F(StrokeCycleTest, DwellDelaysHoldTheRodAtTheTopAndAtTheBottom) {
    config->delayTDP.value = 2;
    config->delayBDP.value = 3;
    startIn(kModeAutomatic, true);
    EXPECT_EQ(state(), Controller::kFirstUp);
    EXPECT_FALSE(unit(1).running());
    run(3000);
    EXPECT_TRUE(unit(1).running());
    rodLeavesBottom();
    rodReachesTop();
    EXPECT_EQ(state(), Controller::kFirstCycleDown);
    EXPECT_FALSE(valve(1));
    run(2000);
    EXPECT_TRUE(valve(1));
}

class ValveOpeningTest : public StrokeCycleTest {
protected:
    ValveOpeningTest() { config->ev2Mode.current = kUnitOn; }
};

TEST_F(ValveOpeningTest, ANegativeDelayOpensEk2FirstAndBothAfterTheDelay) {
    config->delayEV1EV2.value = -0.5f;
    startIn(kModeAutomatic, false);
    EXPECT_FALSE(valve(1));
    EXPECT_TRUE(valve(2));
    run(500);
    EXPECT_TRUE(valve(1));
    EXPECT_TRUE(valve(2));
}

TEST_F(ValveOpeningTest, APositiveDelayOpensEk1FirstAndZeroOpensBothAtOnce) {
    config->delayEV1EV2.value = 0.3f;
    startIn(kModeAutomatic, false);
    EXPECT_TRUE(valve(1));
    EXPECT_FALSE(valve(2));
    run(300);
    EXPECT_TRUE(valve(2));
    config->delayEV1EV2.set(0);
    rodReachesBottom();
    rodLeavesBottom();
    rodReachesTop();
    EXPECT_TRUE(valve(1));
    EXPECT_TRUE(valve(2));
}

TEST_F(StrokeCycleTest, WithOneValveSelectedTheDelayIsNotUsed) {
    config->delayEV1EV2.value = -1;
    startIn(kModeAutomatic, false);
    EXPECT_TRUE(valve(1));
    EXPECT_FALSE(valve(2));
}

TEST_F(StrokeCycleTest, AWorkingFrequencyNeverSetBecomesTheRoundedMiddleOfTheRange) {
    config->minFreqDrive1.value = 30;
    config->maxFreqDrive1.value = 51;
    config->freqDrive2.value = 70;
    startIn(kModeAutomatic, true);
    EXPECT_FLOAT_EQ(config->freqDrive1.value, 41.0f);
    EXPECT_FLOAT_EQ(config->freqDrive2.value, 50.0f); // clamped into the range
    ASSERT_TRUE(runUntil([&] { return drive(1).runCommanded(); }, 3000));
    EXPECT_NEAR(drive(1).setPoint(), 41.0f, 0.01f);
    EXPECT_NE(file("/etc/velkord_perf").find("<freqDrive1>41</freqDrive1>"), std::string::npos);
}

struct SelectionCase {
    int pu1, pu2, prio, selected1, selected2;
};

class UnitSelectionTest : public ControllerFixture, public ::testing::WithParamInterface<SelectionCase> {};

// Mode "on" selects, "off" deselects, "auto" keeps the choice or chooses by priority; the valves
// likewise.
TEST_P(UnitSelectionTest, ModesAndPrioritiesChooseUnitsAndValves) {
    const SelectionCase& c = GetParam();
    config->pu1Mode.current = c.pu1;
    config->pu2Mode.current = c.pu2;
    config->prioPu1Pu2.current = c.prio;
    config->ev1Mode.current = kUnitAuto;
    config->ev2Mode.current = kUnitAuto;
    config->prioEv1Ev2.current = c.prio;
    healthyRig(kModeAutomatic, true);
    start();
    EXPECT_EQ(config->selectedDrive1.current, c.selected1);
    EXPECT_EQ(config->selectedDrive2.current, c.selected2);
    EXPECT_EQ(config->selectedValve1.current, c.prio == 0 ? 1 : 0);
    EXPECT_EQ(config->selectedValve2.current, c.prio == 0 ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Table, UnitSelectionTest,
                         ::testing::Values(SelectionCase{kUnitOn, kUnitOff, 0, 1, 0},
                                           SelectionCase{kUnitOff, kUnitOn, 0, 0, 1},
                                           SelectionCase{kUnitAuto, kUnitAuto, 0, 1, 0},
                                           SelectionCase{kUnitAuto, kUnitAuto, 1, 0, 1},
                                           SelectionCase{kUnitOff, kUnitAuto, 0, 0, 1},
                                           SelectionCase{kUnitOff, kUnitOff, 0, 0, 0}));

TEST_F(StrokeCycleTest, SwitchingToStopHaltsAndSwitchesPumpAndFanOff) {
    startIn(kModeAutomatic, true);
    controller->setTemperatureSensorState(true);
    controller->onOilTemperature(52); // above tempCondOn 45 and tempFanOn 50
    EXPECT_TRUE(output(Controller::kCoolingPumpOutput));
    EXPECT_TRUE(output(Controller::kFanOutput));

    setModeSwitch(1, kModeStop);
    settle();
    EXPECT_EQ(state(), Controller::kStopped);
    EXPECT_FALSE(unit(1).running());
    EXPECT_FALSE(output(Controller::kCoolingPumpOutput));
    EXPECT_FALSE(output(Controller::kFanOutput));
    EXPECT_TRUE(journalHas("НУ1: переключатель режима работы: стоп"));
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "остановка привода").size(), 2u); // entering automatic, then stop
}

TEST_F(StrokeCycleTest, SwitchingToManualLoadsTheManualFrequenciesWithoutStarting) {
    config->manualFreqDrive1.value = 17;
    config->manualFreqDrive2.value = 19;
    startIn(kModeAutomatic, true);
    setModeSwitch(1, kModeManual);
    settle();
    EXPECT_EQ(state(), Controller::kStopped);
    EXPECT_FALSE(unit(1).running());
    EXPECT_FLOAT_EQ(unit(1).setPoint(), 17);
    EXPECT_FLOAT_EQ(unit(2).setPoint(), 19);
    EXPECT_TRUE(journalHas("НУ1: переключатель режима работы: руч"));
    EXPECT_STREQ(controller->view().modeSwitchDisplayText(1), "Ручной режим");

    setModeSwitch(2, kModeFaulty);
    settle();
    EXPECT_TRUE(journalHas("НУ2: переключатель режима работы: неисправен"));
    EXPECT_EQ(state(), Controller::kStopped); // only НУ1's switch steers
}

TEST_F(StrokeCycleTest, AnUpStrokeThatNeverReachesTheTopAndASensorStuckActiveAreTimed) {
    config->posSensorMaxTime.value = 10;
    startIn(kModeAutomatic, true);
    run(10100); // the rod does not leave the bottom
    EXPECT_TRUE(controller->isAlarmActive(9));
    EXPECT_EQ(state(), Controller::kStopped);
    rodLeavesBottom();
    EXPECT_FALSE(controller->isAlarmActive(9));
    EXPECT_EQ(state(), Controller::kFirstDown); // cleared, the drive starts again
}

TEST_F(StrokeCycleTest, TheTopSensorStuckActiveWhileGoingDownStopsTheDrive) {
    config->posSensorMaxTime.value = 10;
    startIn(kModeAutomatic, true);
    rodLeavesBottom();
    rodReachesTop();
    run(10100);
    EXPECT_TRUE(controller->isAlarmActive(5));
    EXPECT_EQ(state(), Controller::kStopped);
    EXPECT_EQ(controller->view().currentAlarmText(), "9.1 Превышение времени сраб. сост. ДВ");
}

} // namespace

namespace {

// The pressure the motors' power implies over an up stroke of `seconds`, as converter counts.
int countsForImpliedPressure(float watts, float seconds, float areaCm2, float lengthM) {
    float gaugePa = watts * seconds / (areaCm2 / 10000.0f * lengthM);
    float absolute = 1.0f + gaugePa / 98066.5f;
    float milliamps = 4.0f + (absolute - 1.0f) / 15.5625f;
    return static_cast<int>(milliamps * 0.11f * 4096.0f / 2.5f + 0.5f);
}

TEST_F(StrokeCycleTest, APressureThatDoesNotFitTheMotorsPowerMarksThePressureSensorFaultyAtTheTop) {
    config->pressSensorMalfuncAutodetect.value = 50;
    startIn(kModeAutomatic, true);
    drive(1).setPowerWatts(5000.0f); // what lifting the rod takes
    rodLeavesBottom();
    run(6000);
    rodReachesTop(); // 4 mA: no pressure while the motor works hard
    EXPECT_TRUE(controller->isAlarmActive(22));

    // A pressure that fits the power: the next top reversal clears it.
    float watts = drive(1).powerWatts();
    ASSERT_GT(watts, 1000.0f);
    rig->setAdc(
        4, countsForImpliedPressure(watts, 6.1f, config->cylinderArea.value, config->strokeLength.value));
    run(500);
    rodReachesBottom();
    rodLeavesBottom();
    run(6000);
    rodReachesTop();
    EXPECT_FALSE(controller->isAlarmActive(22));
}

} // namespace
