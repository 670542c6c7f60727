// The pump units against the simulated drives on a real pty: the continuous poll, the control
// frames of both drive models, start and stop, the parameter download, the reset lines and the
// checks of what the drives report.

#include "drive/drive_frames.h"
#include "drive/drive_poll_table.h"
#include "tests/drive/controller_fixture.h"

#include <set>

namespace {

class DriveManagementTest : public ControllerFixture {
protected:
    // Both units in stop, the rod at the bottom: nothing moves unless a test says so.
    void startStopped() {
        healthyRig(kModeStop, true);
        start();
    }
    // Both units and ЭК1 on, automatic with the rod above the bottom, then НУ2's motor overheats
    // (alarm 23, as НУ1 can take over).
    bool startWithTheMotorOfUnit2Overheated() {
        config->pu1Mode.current = kUnitOn;
        config->pu2Mode.current = kUnitOn;
        healthyRig(kModeAutomatic, false);
        config->ev1Mode.current = kUnitOn;
        start();
        drive(2).setFault(SimDriveFault::MotorOverheat, true);
        return runUntil([&] { return controller->isAlarmActive(23); }, 4000);
    }
    // Runs until the simulated drive has taken the unit's present frame.
    bool untilDriveRuns(int n, bool running) {
        return runUntil([&] { return drive(n).runCommanded() == running; }, 3000);
    }
};

TEST(DriveFrames, ReferenceEncodingTruncatesAndClampsAtBothEnds) {
    EXPECT_EQ(encodeReference(45.5f).frequency, 4550);
    EXPECT_EQ(encodeReference(45.5f).reference, 7454);
    EXPECT_EQ(encodeReference(100.0f).reference, 16384);
    EXPECT_EQ(encodeReference(100.5f).frequency, 10000);
    EXPECT_EQ(encodeReference(100.5f).reference, 0x4000);
    EXPECT_EQ(encodeReference(-1.0f).frequency, 0);
    EXPECT_EQ(encodeReference(-1.0f).reference, 0);
    ControlFrame a = initialFrameA(1);
    EXPECT_EQ(a, (ControlFrame{0x01, 0x0F, 0x00, 0x00, 0x00, 0x20, 0x04, 0x2C, 0x04, 0x00, 0x40}));
    ControlFrame b = initialFrameB(7);
    EXPECT_EQ(b, (ControlFrame{0x07, 0x10, 0x20, 0x00, 0x00, 0x02, 0x04, 0x00, 0x11, 0x00, 0x00}));
}

TEST_F(DriveManagementTest, AStartedFirstModelUnitAt45_5HzSendsReference7454AndFrequencyWord4550) {
    startStopped();
    unit(1).start(45.5f);

    EXPECT_EQ(frameAControlWord(unit(1).frameA()), kControlWordRun);
    EXPECT_EQ(frameAReference(unit(1).frameA()), 7454);
    EXPECT_EQ(frameBFrequency(unit(1).frameB()), 4550);
    ASSERT_TRUE(untilDriveRuns(1, true));
    EXPECT_EQ(drive(1).reference(), 7454);
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "НУ1: запуск двигателя (45.5 Гц)").size(), 1u);

    // The motor turns: the poll reads its frequency and current and the turning lamp lights.
    run(6000);
    EXPECT_TRUE(unit(1).frequency().valid);
    EXPECT_NEAR(unit(1).frequency().value, 45.5f, 0.2f);
    EXPECT_TRUE(unit(1).current().valid);
    EXPECT_GT(unit(1).current().value, 0.0f);
    EXPECT_TRUE(output(Controller::kTurningLamp1));
}

TEST_F(DriveManagementTest, FirstModelStopsSendTheirControlWords) {
    startStopped();
    unit(1).start(30.0f);
    ASSERT_TRUE(untilDriveRuns(1, true));

    unit(1).stop(false); // decelTimeDrive 0.09 s: the motor coasts
    EXPECT_EQ(frameAControlWord(unit(1).frameA()), kControlWordCoastStop);
    ASSERT_TRUE(untilDriveRuns(1, false));
    EXPECT_EQ(drive(1).controlWord(), 0x0434);

    config->decelTimeDrive1.set(1.5f);
    unit(1).start(30.0f);
    unit(1).stop(false);
    EXPECT_EQ(frameAControlWord(unit(1).frameA()), 0x043C);
    unit(1).stop(true);
    EXPECT_EQ(frameAControlWord(unit(1).frameA()), 0x042C);
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "НУ1: останов двигателя (нормальный)").size(), 2u);
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "НУ1: останов двигателя (быстрый)").size(), 0u); // not running
}

TEST_F(DriveManagementTest, SecondModelCommandsStartWithForwardBitsAndStopNormallyOrFast) {
    config->typeDrive1.current = 1;
    startStopped();
    EXPECT_EQ(unit(1).pollStep() / 100, 1);
    unit(1).start(40.0f);
    EXPECT_EQ(frameBCommandLow(unit(1).frameB()), 0x12);
    EXPECT_EQ(frameBCommandHigh(unit(1).frameB()), 0x00);
    ASSERT_TRUE(untilDriveRuns(1, true));
    EXPECT_EQ(drive(1).commandFrequency(), 4000);

    unit(1).stop(false);
    ASSERT_TRUE(untilDriveRuns(1, false));
    EXPECT_EQ(drive(1).command(), 0x1011);
    EXPECT_EQ(drive(1).commandFrequency(), 0);

    unit(1).stop(true);
    ASSERT_TRUE(runUntil([&] { return drive(1).command() == 0x1051; }, 3000));
}

TEST_F(DriveManagementTest, DiscreteControlUsesTheRunAndSecondLines) {
    config->controlTypeDrive2.current = 0;
    config->decelTimeDrive2.value = 1.0f;
    startStopped();
    unit(2).start(30.0f);
    settle();
    EXPECT_TRUE(output(Controller::kRunLine2));
    EXPECT_TRUE(output(Controller::kSecondLine2));
    EXPECT_EQ(frameAControlWord(unit(2).frameA()), kControlWordFastStop); // the frames keep their stop word

    unit(2).stop(false);
    EXPECT_FALSE(output(Controller::kRunLine2));
    EXPECT_TRUE(output(Controller::kSecondLine2));
    unit(2).stop(true);
    EXPECT_FALSE(output(Controller::kSecondLine2));

    config->decelTimeDrive2.set(0.09f); // coasting: a normal stop drops the second line too
    unit(2).start(30.0f);
    unit(2).stop(false);
    EXPECT_FALSE(output(Controller::kSecondLine2));
}

TEST_F(DriveManagementTest, BothUnitsPollEveryStepInOrderAndWrap) {
    config->typeDrive2.current = 1;
    startStopped();
    std::vector<int> steps1;
    std::vector<int> steps2;
    for (int i = 0; i < 2000 && (steps1.size() < 20 || steps2.size() < 10); ++i) {
        if (steps1.empty() || steps1.back() != unit(1).pollStep())
            steps1.push_back(unit(1).pollStep());
        if (steps2.empty() || steps2.back() != unit(2).pollStep())
            steps2.push_back(unit(2).pollStep());
        run(5);
    }
    ASSERT_GE(steps1.size(), 20u);
    ASSERT_GE(steps2.size(), 10u);
    size_t start1 = static_cast<size_t>(std::find(steps1.begin(), steps1.end(), 0) - steps1.begin());
    for (size_t i = 1; i + start1 < steps1.size(); ++i)
        EXPECT_EQ(steps1[start1 + i], static_cast<int>(i % 18)) << i;
    for (size_t i = 1; i < steps2.size(); ++i)
        EXPECT_EQ(steps2[i], 100 + static_cast<int>((steps2[0] - 100 + i) % 8)) << i;
    // Every request was answered: the traffic counts, and nothing timed out.
    EXPECT_GT(bus->statistics().total(BusCounter::kTx), 28u);
    EXPECT_EQ(bus->statistics().total(BusCounter::kTimeout), 0u);
    EXPECT_GT(drive(1).answered(), 18u);
    EXPECT_GT(drive(2).answered(), 8u);
}

// After a reset the first model's over-current is known again only when alarm word 2 (step 12) has
// been read; the alarm word of step 0 does not tell it.
TEST_F(DriveManagementTest, ForgottenAlarmWordsAreFreshOnlyOnceTheWordCarryingTheOverCurrentIsRead) {
    startStopped();
    drive(1).setFault(SimDriveFault::OverCurrent, true);
    ASSERT_TRUE(runUntil([&] { return unit(1).overCurrent(); }, 3000));
    auto untilStep = [&](int step) {
        for (int ms = 0; ms < 3000 && unit(1).pollStep() != step; ++ms)
            run(1);
        return unit(1).pollStep() == step;
    };
    ASSERT_TRUE(untilStep(0));
    unit(1).forgetAlarmWords();
    ASSERT_TRUE(untilStep(2)); // the alarm word has been read
    EXPECT_FALSE(unit(1).alarmWordsFresh());
    ASSERT_TRUE(untilStep(13));
    EXPECT_TRUE(unit(1).alarmWordsFresh());
    EXPECT_TRUE(unit(1).overCurrent());
}

TEST_F(DriveManagementTest, ASilentDriveLeavesCurrentAndFrequencyInvalidAndThePollGoesOn) {
    startStopped();
    run(3000);
    ASSERT_TRUE(unit(2).frequency().valid);
    drive(2).setSilent(true);
    run(6000);

    EXPECT_FALSE(unit(2).frequency().valid);
    EXPECT_FALSE(unit(2).current().valid);
    EXPECT_GT(bus->statistics().forAddress(BusCounter::kTimeout, 2), 10u);
    int step = unit(2).pollStep();
    run(1000);
    EXPECT_NE(unit(2).pollStep(), step);
    EXPECT_TRUE(unit(1).frequency().valid);
    EXPECT_TRUE(unit(1).current().valid);

    drive(2).setSilent(false);
    run(6000);
    EXPECT_TRUE(unit(2).frequency().valid);
}

// The rows of the download as the drive received them: function, first register, values.
struct Written {
    uint8_t function;
    uint16_t reg;
    std::vector<uint16_t> values;
    bool operator==(const Written& other) const {
        return function == other.function && reg == other.reg && values == other.values;
    }
};

std::vector<Written> writesOf(const SimDrive& drive) {
    std::vector<Written> rows;
    for (const SimDriveWrite& write : drive.writes())
        rows.push_back({write.function, write.reg, write.values});
    return rows;
}

TEST_F(DriveManagementTest, TheParameterDownloadWritesExactlyTheListedRegistersInOrder) {
    config->typeDrive2.current = 1;
    config->maxFreqDrive1.value = 50;
    config->maxFreqDrive2.value = 45;
    config->accelTimeDrive1.value = 2.5f;
    config->decelTimeDrive1.value = 1.2f;
    config->accelTimeDrive2.value = 0.5f;
    config->nomCurrentDrive1.value = 12.3f;
    config->nomCurrentDrive2.value = 250; // beyond the catalogue's range, as an old file may hold
    config->controlTypeDrive1.current = 0;
    config->manualReverseStart.current = 0;
    startStopped();

    controller->commands().writeDriveParameters();
    run(8000);

    std::vector<Written> first = {
        {6, 0x0BC1, {3}},   {16, 0x0BCB, {0, 0}},    {16, 0x0BD5, {1, 34464}}, {6, 0x105D, {550}},
        {6, 0x102B, {500}}, {16, 0x0D51, {0, 250}},  {16, 0x0D5B, {0, 120}},   {16, 0x0EE1, {0, 120}},
        {16, 0x0423, {1}},  {16, 0x04D7, {0, 1230}}, {6, 0x13FF, {0}},         {6, 0x1409, {1}},
        {6, 0x1F49, {1}},   {16, 0x1F5D, {0, 10}},   {6, 0x1F67, {2}},
    };
    std::vector<Written> second = {
        {6, 0x010A, {5000}}, {6, 0x0100, {4500}},  {6, 0x0101, {5000}}, {6, 0x010C, {50}},
        {6, 0x010E, {50}},   {6, 0x010D, {9}},     {6, 0x010F, {9}},    {6, 0x012C, {4}},
        {6, 0x0016, {1}},    {6, 0x0501, {21600}}, {6, 0x0202, {5}},    {6, 0x0015, {2}},
        {6, 0x0903, {5}},    {6, 0x0902, {2}},     {6, 0x0014, {1}},
    };
    EXPECT_EQ(writesOf(drive(1)), first);
    EXPECT_EQ(writesOf(drive(2)), second);
    // The second model's direction is in its command: reverse (bits 4-5 = 10).
    EXPECT_EQ(frameBCommandLow(unit(2).frameB()) & 0x30, 0x20);
}

// The one reverse start reaches the drives when it is set, and forward again when the released up
// button sets it back.
TEST_F(DriveManagementTest, TheDirectionFollowsManualReverseStartWithoutADownload) {
    config->typeDrive2.current = 1;
    healthyRig(kModeManual, true);
    start();
    config->manualReverseStart.set(0); // "Вкл."
    run(500);
    EXPECT_EQ(drive(1).parameter(0x0423), 1);
    ASSERT_EQ(drive(1).writes().size(), 1u); // the direction alone
    EXPECT_EQ(frameBCommandLow(unit(2).frameB()) & 0x30, 0x20);

    setInput(25, true); // НУ1 up, then released
    settle();
    setInput(25, false);
    settle();
    EXPECT_EQ(config->manualReverseStart.current, 1);
    run(500);
    EXPECT_EQ(drive(1).parameter(0x0423), 0);
    EXPECT_EQ(frameBCommandLow(unit(2).frameB()) & 0x30, 0x10);
}

TEST_F(DriveManagementTest, TheDownloadSendsTheGroupsOfBothUnitsInTurn) {
    startStopped();
    controller->commands().writeDriveParameters();
    run(8000);
    // The frequency limits of both drives precede the ramps of either.
    ASSERT_EQ(drive(1).writes().size(), 15u);
    EXPECT_EQ(drive(2).writes().size(), 15u);
    EXPECT_EQ(drive(1).writes()[0].reg, 0x0BC1);
    EXPECT_EQ(drive(1).parameter(0x04D8), 10); // a current of 0 is sent as 0.1 A
}

TEST_F(DriveManagementTest, ResetDrivesRaisesBothLinesFor150Ms) {
    startStopped();
    EXPECT_EQ(file("/sys/class/gpio/pioA16/value"), "");
    controller->resetDrives();
    EXPECT_EQ(file("/sys/class/gpio/pioA16/value"), "255\n");
    EXPECT_EQ(file("/sys/class/gpio/pioA17/value"), "255\n");
    run(149);
    EXPECT_EQ(file("/sys/class/gpio/pioA17/value"), "255\n");
    run(2);
    EXPECT_EQ(file("/sys/class/gpio/pioA16/value"), "0\n");
    EXPECT_EQ(file("/sys/class/gpio/pioA17/value"), "0\n");
}

TEST_F(DriveManagementTest, MarkingAUnitFaultyIsJournalledOncePerChange) {
    startStopped();
    unit(2).markFaulty(true);
    unit(2).markFaulty(true);
    unit(2).markFaulty(false);
    std::vector<std::string> entries = journal();
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "НУ2: помечена как неисправная"), 1);
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "НУ2: помечена как исправная"), 1);
    EXPECT_STREQ(controller->view().unitFaultText(2), "OK");
}

TEST_F(DriveManagementTest, AColdDriveHandsOverToTheWarmOneAndBothColdStopTheDrive) {
    config->pu1Mode.current = kUnitOn;
    config->pu2Mode.current = kUnitAuto;
    healthyRig(kModeManual, true); // outside stop the warm unit takes over
    start();
    drive(1).setFault(SimDriveFault::Cold, true);
    ASSERT_TRUE(runUntil([&] { return controller->isAlarmActive(37); }, 4000));
    EXPECT_EQ(controller->view().currentAlarmText(), "26.1 Низкая температура ЧРП НУ1");
    EXPECT_TRUE(unit(1).faulty());
    EXPECT_EQ(config->selectedDrive1.current, 0);
    EXPECT_EQ(config->selectedDrive2.current, 1);

    drive(2).setFault(SimDriveFault::Cold, true);
    ASSERT_TRUE(runUntil([&] { return controller->isAlarmActive(11); }, 4000));
    EXPECT_FALSE(controller->isAlarmActive(37));
    EXPECT_EQ(controller->alarms().entries().at(11).text, "26.2 Ост. по низк. темп. ЧРП НУ1 и НУ2");

    drive(1).clearFaults();
    drive(2).clearFaults();
    ASSERT_TRUE(runUntil(
        [&] { return !controller->isAlarmActive(11) && !controller->isAlarmActive(37) && !unit(1).faulty(); },
        8000));
}

// A drive warming again releases only the unit its cold took out: the other, marked for its overheated
// motor, stays out while alarm 23 lasts.
TEST_F(DriveManagementTest, AWarmDriveReleasesOnlyTheUnitItsColdMarked) {
    ASSERT_TRUE(startWithTheMotorOfUnit2Overheated());
    EXPECT_TRUE(unit(2).faulty());

    drive(1).setFault(SimDriveFault::Cold, true);
    ASSERT_TRUE(runUntil([&] { return controller->isAlarmActive(37); }, 4000));
    EXPECT_TRUE(unit(1).faulty());
    drive(1).clearFaults();
    ASSERT_TRUE(runUntil([&] { return !controller->isAlarmActive(37); }, 4000));
    EXPECT_FALSE(unit(1).faulty());
    EXPECT_TRUE(controller->isAlarmActive(23));
    EXPECT_TRUE(unit(2).faulty());
}

TEST_F(DriveManagementTest, AnOverheatedMotorIsAWarningWhileTheOtherCanTakeOverAndAStopOtherwise) {
    ASSERT_TRUE(startWithTheMotorOfUnit2Overheated());
    EXPECT_EQ(controller->alarms().entries().at(23).text, "21.1 Перегрев двигателя НУ2");
    EXPECT_TRUE(unit(2).faulty());
    EXPECT_TRUE(output(Controller::kFanOutput));

    drive(1).setFault(SimDriveFault::MotorOverheat, true);
    ASSERT_TRUE(runUntil([&] { return controller->isAlarmActive(15); }, 4000));
    EXPECT_EQ(controller->alarms().entries().at(15).text, "21.3 Перегрев двигателей НУ1 и НУ2");
    EXPECT_EQ(controller->view().strokeState(), Controller::kStopped);

    drive(1).clearFaults();
    drive(2).clearFaults();
    ASSERT_TRUE(runUntil([&] { return !controller->isAlarmActive(23); }, 4000));
    EXPECT_FALSE(controller->isAlarmActive(15));
    EXPECT_FALSE(unit(2).faulty());
    EXPECT_FALSE(output(Controller::kFanOutput)); // the oil is not known to be warm
}

TEST_F(DriveManagementTest, DriveAlarmAndWarningBitsMakeTheTextOfAlarm39) {
    config->typeDrive2.current = 1;
    startStopped();
    drive(1).setWarningWord(1u << 3 | 1u << 17);
    ASSERT_TRUE(runUntil([&] { return controller->isAlarmActive(39); }, 4000));
    EXPECT_EQ(controller->alarms().entries().at(39).text, "1. НУ1W3, НУ1W17");

    drive(2).setFault(SimDriveFault::MotorOverheat, true);
    ASSERT_TRUE(runUntil(
        [&] { return controller->alarms().entries().at(39).text.find("НУ2A24") != std::string::npos; },
        4000));
    EXPECT_EQ(controller->alarms().entries().at(39).text, "1. НУ1W3, НУ1W17, НУ2A24");

    drive(1).setWarningWord(0);
    drive(2).clearFaults();
    ASSERT_TRUE(runUntil([&] { return !controller->isAlarmActive(39); }, 4000));
}

} // namespace
