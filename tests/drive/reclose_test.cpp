// The automatic reclose after a drive's over-current, against the simulated drives: the unit is
// taken out, reset on its line after araDelay and brought back, until numARA recloses are used up.

#include "tests/drive/controller_fixture.h"

namespace {

constexpr uint32_t kMinute = 60000;

class RecloseTest : public ControllerFixture {
protected:
    RecloseTest() {
        config->araDelay.value = 1;
        config->numARA.value = 2;
        config->ev1Mode.current = kUnitOn;
        config->pu1Mode.current = kUnitOn;
    }
    void startAutomaticAtTheBottom() {
        healthyRig(kModeAutomatic, true);
        start();
        ASSERT_TRUE(runUntil([&] { return drive(1).runCommanded(); }, 3000));
        if (config->pu2Mode.current != kUnitOff) {
            ASSERT_TRUE(runUntil([&] { return drive(2).runCommanded(); }, 3000));
        }
        // The rod leaves the bottom.
        setBottomSensor(1, kSensorInactive);
        settle();
    }
    void tripDrive(int n) {
        drive(n).setFault(SimDriveFault::OverCurrent, true);
        ASSERT_TRUE(runUntil([&] { return controller->isAlarmActive(40); }, 4000));
    }
    std::string resetLine(int n) {
        return file(n == 1 ? "/sys/class/gpio/pioA16/value" : "/sys/class/gpio/pioA17/value");
    }
    std::string alarmText(int32_t code) {
        auto it = controller->alarms().entries().find(code);
        return it == controller->alarms().entries().end() ? std::string() : it->second.text;
    }
};

TEST_F(RecloseTest, WithoutAPartnerTheDriveStopsIsResetAfterAraDelayAndStopsForGoodAtNumAra) {
    config->pu2Mode.current = kUnitOff;
    startAutomaticAtTheBottom();

    tripDrive(1);
    EXPECT_EQ(alarmText(40), "20.1 Перегруз по току ЧРП НУ1");
    EXPECT_EQ(alarmText(16), "20.2 Перегруз по току ЧРП НУ1. АПВ №1");
    EXPECT_EQ(controller->view().strokeState(), Controller::kStopped);
    EXPECT_TRUE(unit(1).faulty());

    run(kMinute - 3000);
    EXPECT_FALSE(journalHas("АПВ НУ1"));
    ASSERT_TRUE(runUntil([&] { return resetLine(1) == "255\n"; }, 4000));
    EXPECT_TRUE(journalHas("АПВ НУ1"));
    EXPECT_EQ(controller->view().strokeState(), Controller::kResetBoth);
    EXPECT_EQ(controller->reclose().count(1), 1);
    run(151);
    EXPECT_EQ(resetLine(1), "0\n");
    EXPECT_FALSE(controller->isAlarmActive(16));
    EXPECT_FALSE(controller->isAlarmActive(40));
    EXPECT_FLOAT_EQ(config->freqDrive1.value, config->minFreqDrive1.value);
    // The drive starts again; the rod is somewhere up, so it goes down first.
    EXPECT_EQ(controller->view().strokeState(), Controller::kFirstDown);
    rodReachesBottom();
    EXPECT_EQ(controller->view().strokeState(), Controller::kFirstUp);
    ASSERT_TRUE(runUntil([&] { return drive(1).outputFrequency() > 20.0f; }, 5000));
    EXPECT_FALSE(drive(1).hasFault(SimDriveFault::OverCurrent)); // the reset cleared the trip

    tripDrive(1);
    EXPECT_EQ(alarmText(16), "20.2 Перегруз по току ЧРП НУ1. АПВ №2");
    run(kMinute + 500);
    EXPECT_EQ(controller->reclose().count(1), 2);
    ASSERT_TRUE(runUntil([&] { return drive(1).runCommanded(); }, 3000)); // at the bottom: up at once

    tripDrive(1);
    EXPECT_EQ(alarmText(13), "20.3 Останвока. Перегрузка по току ЧРП НУ1");
    EXPECT_EQ(controller->view().strokeState(), Controller::kStopped);
    run(kMinute + 500);
    EXPECT_EQ(resetLine(1), "0\n"); // no further reclose
    EXPECT_EQ(controller->view().strokeState(), Controller::kStopped);
}

TEST_F(RecloseTest, WithAPartnerTheUnitRecloseWaitsForTheBottomAndRestartsAtItsMinimumFrequency) {
    config->pu2Mode.current = kUnitOn;
    config->lowerFreqOnOverload.current = 0; // "Да"
    config->lowerFreqStep.value = 5;
    config->freqDrive1.value = 40;
    startAutomaticAtTheBottom();
    ASSERT_TRUE(drive(2).runCommanded());

    tripDrive(1);
    EXPECT_TRUE(unit(1).faulty());
    EXPECT_FALSE(controller->isAlarmActive(16)); // НУ2 goes on alone
    EXPECT_NE(controller->view().strokeState(), Controller::kStopped);
    run(kMinute + 500);
    EXPECT_TRUE(journalHas("АПВ НУ1"));
    EXPECT_TRUE(controller->reclose().pending(1));

    // The rod reaches the top, goes down, and the reclose is served at the bottom.
    rodReachesTop();
    EXPECT_EQ(controller->view().strokeState(), Controller::kFirstCycleDown);
    rodReachesBottom();
    EXPECT_EQ(controller->view().strokeState(), Controller::kResetUnit1);
    EXPECT_EQ(resetLine(1), "255\n");
    EXPECT_FALSE(unit(1).faulty());
    run(200);
    EXPECT_EQ(resetLine(1), "0\n");
    EXPECT_EQ(controller->view().strokeState(), Controller::kCheckUnit1);

    ASSERT_TRUE(runUntil([&] { return controller->view().strokeState() == Controller::kFirstUp; }, 15000));
    EXPECT_FALSE(controller->isAlarmActive(40));
    EXPECT_TRUE(controller->reclose().restartedAfterReset(1));
    EXPECT_EQ(config->selectedDrive1.current, 1);
    ASSERT_TRUE(runUntil([&] { return drive(1).runCommanded(); }, 3000));
    EXPECT_NEAR(drive(1).setPoint(), config->minFreqDrive1.value, 0.01f);

    // At the first top reversal after the reset the maximum frequency goes below the trip's set-point.
    rodReachesTop();
    EXPECT_FALSE(controller->reclose().restartedAfterReset(1));
    EXPECT_FLOAT_EQ(config->maxFreqDrive1.value, 35.0f);
}

TEST_F(RecloseTest, CompletedCyclesBeyondAraResetForgetTheRecloses) {
    config->pu2Mode.current = kUnitOn;
    config->araReset.value = 1;
    startAutomaticAtTheBottom();
    tripDrive(1);
    run(kMinute + 500);
    rodReachesTop();
    rodReachesBottom();
    ASSERT_TRUE(runUntil([&] { return controller->view().strokeState() == Controller::kFirstUp; }, 15000));
    ASSERT_EQ(controller->reclose().count(1), 1);

    // Two full cycles: the second one's bottom exceeds araReset.
    for (int cycle = 0; cycle < 2; ++cycle) {
        rodReachesTop();
        rodReachesBottom();
    }
    EXPECT_EQ(controller->reclose().count(1), 0);
    EXPECT_TRUE(journalHas("Сброс счетчика АПВ НУ1"));
}

} // namespace

namespace {

TEST_F(RecloseTest, TheSecondUnitsRecloseWalksItsOwnResetStates) {
    config->pu2Mode.current = kUnitOn;
    startAutomaticAtTheBottom();
    drive(2).setFault(SimDriveFault::OverCurrent, true);
    ASSERT_TRUE(runUntil([&] { return controller->isAlarmActive(40); }, 4000));
    EXPECT_EQ(alarmText(40), "20.1 Перегруз по току ЧРП НУ2");
    EXPECT_TRUE(unit(2).faulty());
    EXPECT_FALSE(unit(1).faulty());
    run(kMinute + 500);
    EXPECT_TRUE(journalHas("АПВ НУ2"));

    rodReachesTop();
    rodReachesBottom();
    EXPECT_EQ(controller->view().strokeState(), Controller::kResetUnit2);
    EXPECT_EQ(resetLine(2), "255\n");
    EXPECT_EQ(resetLine(1), "");
    run(200);
    EXPECT_EQ(controller->view().strokeState(), Controller::kCheckUnit2);
    ASSERT_TRUE(runUntil([&] { return controller->view().strokeState() == Controller::kFirstUp; }, 15000));
    EXPECT_TRUE(controller->reclose().restartedAfterReset(2));
    EXPECT_EQ(controller->reclose().count(2), 1);
}

} // namespace

namespace {

TEST_F(RecloseTest, AStartIntoADriveReportingOverCurrentStopsBeforeThePartnerStarts) {
    config->pu2Mode.current = kUnitOn;
    config->canSepStart.current = 1; // the units may not run alone
    healthyRig(kModeStop, true);
    start();
    drive(1).setFault(SimDriveFault::OverCurrent, true);
    ASSERT_TRUE(runUntil([&] { return unit(1).overCurrent(); }, 4000));
    EXPECT_TRUE(controller->isAlarmActive(40)); // outside automatic: only the alarm
    EXPECT_FALSE(unit(1).faulty());

    setModeSwitch(1, kModeAutomatic);
    settle();
    EXPECT_TRUE(controller->isAlarmActive(16));
    EXPECT_EQ(controller->view().strokeState(), Controller::kStopped);
    EXPECT_FALSE(unit(1).running());
    EXPECT_FALSE(unit(2).running());
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "НУ2: запуск двигателя").size(), 0u);
}

} // namespace
