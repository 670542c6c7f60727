// The stroke's special sequences walked to their end: rod overload (states 9-11), oil overheating
// (6-8) and wedging of the valves (12-14).

#include "tests/drive/controller_fixture.h"

namespace {

constexpr uint32_t kMinute = 60000;
// 8.24 mA: P = 67 kgf/cm², a load of about 5440 kgf on the default cylinder.
constexpr int kOverloadCounts = 1500;

class StrokeSequencesTest : public ControllerFixture {
protected:
    StrokeSequencesTest() {
        config->pu1Mode.current = kUnitOn;
        config->ev1Mode.current = kUnitOn;
        config->araDelay.value = 1;
    }
    // Temperature readings once a second, as the thermometer gives them.
    void oilAt(float celsius) {
        controller->setTemperatureSensorState(true);
        controller->onOilTemperature(celsius);
    }
};

TEST_F(StrokeSequencesTest, ARodOverloadResetsTheSensorsGoesDownWaitsAndRestartsUntilNumAraIsUsedUp) {
    config->gMax.value = 5000;
    config->numARA.value = 1;
    config->sensorResetDuration.value = 2;
    startIn(kModeAutomatic, true);
    rodLeavesBottom();
    run(200);
    ASSERT_TRUE(controller->view().load().valid);
    EXPECT_LT(controller->view().load().value, 100);

    rig->setAdc(4, kOverloadCounts);
    ASSERT_TRUE(runUntil([&] { return state() == Controller::kOverload; }, 1000));
    EXPECT_EQ(controller->alarms().entries().at(19).text,
              "16.1 Превыш. нагр. на штоке. Авт. перез. прив. №1");
    EXPECT_FALSE(unit(1).running());
    EXPECT_TRUE(output(Controller::kSensorPower));
    EXPECT_GT(controller->view().load().value, 5000);
    rig->setAdc(4, kFourMilliamps);

    run(2000);
    EXPECT_FALSE(output(Controller::kSensorPower));
    EXPECT_EQ(state(), Controller::kOverloadDown);
    EXPECT_TRUE(valve(1));

    run(4000);
    rodReachesBottom();
    EXPECT_EQ(state(), Controller::kRecloseWait);
    EXPECT_FALSE(valve(1));
    run(kMinute - 100);
    EXPECT_EQ(state(), Controller::kRecloseWait);
    run(200);
    EXPECT_TRUE(journalHas("АПВ"));
    EXPECT_EQ(state(), Controller::kFirstUp);
    EXPECT_TRUE(unit(1).running());
    EXPECT_FALSE(controller->isAlarmActive(19)); // cleared by the start
    EXPECT_EQ(controller->overloadRestarts(), 1);

    rodLeavesBottom();
    rig->setAdc(4, kOverloadCounts);
    ASSERT_TRUE(runUntil([&] { return controller->isAlarmActive(20); }, 1000));
    EXPECT_EQ(controller->view().currentAlarmText(), "16.2 Превышение нагр. на штоке");
    EXPECT_EQ(state(), Controller::kStopped);
}

TEST_F(StrokeSequencesTest, OilOverheatingGoesDownWaitsRunsTheCoolingAndRestartsWhenCool) {
    config->downTimeMax.value = 10;
    config->mainPumpFreq.value = 15;
    config->mainPumpMaxTime.value = 1;
    startIn(kModeAutomatic, true);
    rodLeavesBottom();
    oilAt(61);
    EXPECT_EQ(controller->alarms().entries().at(17).text, "22. Перегр. масла. Прив. будет зап. авт.");
    EXPECT_EQ(state(), Controller::kOverheatDown);
    EXPECT_FALSE(unit(1).running());
    EXPECT_TRUE(valve(1));
    EXPECT_TRUE(output(Controller::kCoolingPumpOutput));
    EXPECT_TRUE(output(Controller::kFanOutput));
    EXPECT_FLOAT_EQ(unit(1).setPoint(), 15);

    rodReachesBottom();
    EXPECT_EQ(state(), Controller::kOverheatBottom);
    run(10000);
    EXPECT_EQ(state(), Controller::kCoolingRun);
    EXPECT_TRUE(valve(1));
    EXPECT_TRUE(unit(1).running());
    ASSERT_TRUE(runUntil([&] { return drive(1).runCommanded(); }, 3000));
    EXPECT_NEAR(drive(1).setPoint(), 15.0f, 0.01f);

    // Hotter still: the pump stops; the cycle waits in state 8.
    oilAt(66);
    EXPECT_EQ(state(), Controller::kCoolingRun);
    EXPECT_FALSE(unit(1).running());
    oilAt(58);
    EXPECT_EQ(state(), Controller::kCoolingRun);
    oilAt(54);
    EXPECT_FALSE(controller->isAlarmActive(17));
    EXPECT_EQ(state(), Controller::kFirstUp);
    EXPECT_TRUE(unit(1).running());
}

TEST_F(StrokeSequencesTest, TheCoolingRunEndsAfterMainPumpMaxTime) {
    config->downTimeMax.value = 5;
    config->mainPumpMaxTime.value = 1;
    startIn(kModeAutomatic, false);
    oilAt(61);
    EXPECT_EQ(state(), Controller::kOverheatDown);
    run(5100); // no bottom signal: the time limit
    EXPECT_EQ(state(), Controller::kOverheatBottom);
    run(5000);
    EXPECT_EQ(state(), Controller::kCoolingRun);
    EXPECT_TRUE(unit(1).running());
    run(kMinute);
    EXPECT_EQ(state(), Controller::kCoolingRun);
    EXPECT_FALSE(unit(1).running());
}

TEST_F(StrokeSequencesTest, WithTheExtraCoolingPumpOverheatingOnlyStopsTheDrive) {
    config->coolingPump.current = 1;
    startIn(kModeAutomatic, true);
    oilAt(61);
    EXPECT_EQ(state(), Controller::kStopped);
    EXPECT_FALSE(unit(1).running());
    EXPECT_TRUE(controller->isAlarmActive(17));
    oilAt(54);
    EXPECT_EQ(state(), Controller::kFirstUp);
}

TEST_F(StrokeSequencesTest, OutsideAutomaticOverheatingIsJournalledWithTheShortText) {
    healthyRig(kModeManual, true);
    start();
    oilAt(61);
    EXPECT_EQ(controller->alarms().entries().at(17).text, "22. Перегрев масла.");
    EXPECT_EQ(state(), Controller::kStopped);
}

TEST_F(StrokeSequencesTest, AnUpStrokeThatDoesNotReachTheTopTogglesTheValvesAndTriesAgain) {
    config->upTimeMax.value = 10;
    startIn(kModeAutomatic, true);
    rodLeavesBottom();
    run(10000);
    EXPECT_TRUE(controller->isAlarmActive(7));
    EXPECT_EQ(state(), Controller::kWedgingToggle); // under load: stopped, toggling after a second
    EXPECT_FALSE(unit(1).running());

    // ЭК1 opens for 500 ms at the even toggles 0, 4, 8 (ЭК2 is off), closed in between.
    run(1000);
    EXPECT_TRUE(valve(1));
    run(500);
    EXPECT_FALSE(valve(1));
    run(4000);
    EXPECT_EQ(state(), Controller::kWedgingUp); // attempt 0: the same unit
    EXPECT_TRUE(unit(1).running());

    // Attempt 1 needs the other unit, which is switched off: the drive stops.
    run(10000);
    EXPECT_EQ(state(), Controller::kWedgingToggle);
    run(1000 + 5500);
    EXPECT_EQ(state(), Controller::kStopped);
    EXPECT_TRUE(controller->isAlarmActive(7));
}

TEST_F(StrokeSequencesTest, WedgingWithoutLoadGoesDownFirstAndASuccessfulTryReturnsToTheCycle) {
    config->upTimeMax.value = 10;
    config->downTimeMax.value = 4;
    config->wedgingEV.current = 1;
    startIn(kModeAutomatic, true);
    rodLeavesBottom();
    run(10000);
    EXPECT_EQ(state(), Controller::kWedgingDown);
    EXPECT_TRUE(valve(1));
    run(4000);
    EXPECT_EQ(state(), Controller::kWedgingToggle);
    EXPECT_FALSE(valve(1));
    run(1000 + 5500);
    EXPECT_EQ(state(), Controller::kWedgingUp);

    setTopSensor(1, kSensorActive);
    settle();
    EXPECT_FALSE(controller->isAlarmActive(7));
    EXPECT_EQ(state(), Controller::kFirstCycleDown); // the top reversal of the cycle followed
    EXPECT_TRUE(valve(1));
}

TEST_F(StrokeSequencesTest, LaterWedgingAttemptsTakeBothUnitsAtMidRangeThenAtMaximum) {
    config->upTimeMax.value = 10;
    config->pu2Mode.current = kUnitOn;
    config->wedgingEV.current = 2; // during the up stroke: the motors keep running
    startIn(kModeAutomatic, true);
    rodLeavesBottom();
    run(10000);
    EXPECT_EQ(state(), Controller::kWedgingToggle);
    EXPECT_TRUE(unit(1).running());
    run(5500);
    EXPECT_EQ(state(), Controller::kWedgingUp);
    run(10000 + 5500); // attempt 1 with both selected becomes attempt 2: both at mid range
    EXPECT_EQ(state(), Controller::kWedgingUp);
    EXPECT_FLOAT_EQ(config->freqDrive1.value, 36);
    run(10000 + 5500); // attempt 3: both at their maximum
    EXPECT_FLOAT_EQ(config->freqDrive1.value, 50);
    EXPECT_FLOAT_EQ(config->freqDrive2.value, 50);
    run(10000 + 5500); // attempt 4: there is none
    EXPECT_EQ(state(), Controller::kStopped);
}

} // namespace
