// The alarm list: raising and clearing with their journal lines, the current alarm, the status outputs
// and relays by mode, the periodic sensor reset it arms, and its panel page.

#include "drive/alarm_catalogue.h"
#include "tests/drive/controller_fixture.h"
#include "ui/keys.h"

namespace {

class AlarmListTest : public ControllerFixture {
protected:
    AlarmList& list() { return controller->alarms(); }
    AlarmListPage& page() { return *alarmPage; }
    // Status outputs 25, 26, 27 as "a/b/c".
    std::string statusOutputs() {
        return std::to_string(output(25)) + "/" + std::to_string(output(26)) + "/" +
               std::to_string(output(27));
    }
};

TEST(AlarmCatalogue, HoldsEveryCodeWithItsTextAndStatusBytes) {
    for (int32_t code = 0; code < kAlarmCodes; ++code) {
        const AlarmCatalogueEntry* entry = alarmCatalogueEntry(code);
        ASSERT_NE(entry, nullptr) << code;
        EXPECT_EQ(entry->code, code);
        EXPECT_NE(std::string(entry->text), "");
    }
    EXPECT_EQ(alarmCatalogueEntry(41), nullptr);
    EXPECT_EQ(alarmCatalogueEntry(-1), nullptr);
    AlarmRecord remote = makeAlarm(0);
    EXPECT_EQ(remote.text, "3. Ожидание удаленного запуска");
    EXPECT_EQ(remote.automatic + remote.alarm * 2 + remote.stopped * 4 + remote.remote * 8, 4 + 8);
    AlarmRecord oil = makeAlarm(17);
    EXPECT_EQ(oil.text, "22. Перегр. масла. Прив. будет зап. авт.");
    EXPECT_EQ(oil.automatic + oil.alarm * 2 + oil.stopped * 4, 1 + 4);
    EXPECT_EQ(alarmText(15, 2), "21.3 Перегрев двигателя НУ2");
    EXPECT_EQ(alarmText(16, "1 и НУ2", "2, 1"), "20.2 Перегруз по току ЧРП НУ1 и НУ2. АПВ №2, 1");
    EXPECT_EQ(alarmText(12, "обрыв ЭК1, КЗ ЭК2"), "27.3 Остановка: обрыв ЭК1, КЗ ЭК2");
    // Codes 0-20 stop the drive, 21-40 are warnings.
    for (int32_t code = 0; code < kAlarmCodes; ++code)
        EXPECT_EQ(alarmStopsTheDrive(code), code <= 20) << code;
}

TEST_F(AlarmListTest, WithAlarms25And6TheCurrentAlarmIs6AndAutomaticShowsItsStatus) {
    startIn(kModeAutomatic);
    controller->raiseAlarm(makeAlarm(25));
    controller->raiseAlarm(makeAlarm(6));
    settle();

    EXPECT_EQ(controller->view().currentAlarmText(), "9.1 Остановка по обрыву нижнего дат.");
    EXPECT_EQ(statusOutputs(), "0/1/1");
    EXPECT_FALSE(io->blank());
}

TEST_F(AlarmListTest, AnEmptyListShowsNoAlarmsAndAutomaticIsOneZeroZero) {
    startIn(kModeAutomatic);
    settle();

    EXPECT_EQ(list().count(), 0u);
    EXPECT_EQ(controller->view().currentAlarmText(), "Нет аварий");
    EXPECT_EQ(statusOutputs(), "1/0/0");
    EXPECT_FALSE(io->blank());
}

TEST_F(AlarmListTest, StopShowsStoppedAndManualAllThreeWithTheRemoteFlagOfTheFirstAlarm) {
    startIn(kModeStop);
    settle();
    EXPECT_EQ(statusOutputs(), "0/0/1");

    controller->raiseAlarm(makeAlarm(0));
    EXPECT_TRUE(io->blank()); // waiting for a remote start: the lamps blink
    setModeSwitch(1, kModeManual);
    settle();
    EXPECT_EQ(statusOutputs(), "1/1/1");
    EXPECT_TRUE(io->blank());
    controller->clearAlarm(0);
    EXPECT_FALSE(io->blank());
}

TEST_F(AlarmListTest, ARaisedCodeKeepsItsFirstTextUntilChanged) {
    startIn(kModeStop);
    EXPECT_TRUE(controller->raiseAlarm(makeAlarm(34, "27.1 Обрыв ЭК1")));
    EXPECT_FALSE(controller->raiseAlarm(makeAlarm(34, "27.2 КЗ ЭК1")));
    EXPECT_EQ(controller->view().currentAlarmText(), "27.1 Обрыв ЭК1");

    controller->changeAlarmText(34, "27.2 КЗ ЭК1");

    EXPECT_EQ(controller->view().currentAlarmText(), "27.2 КЗ ЭК1");
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "Изменен текст аварии: '27.1 Обрыв ЭК1' -> '27.2 КЗ ЭК1'").size(),
              1u);
    controller->changeAlarmText(34, "27.2 КЗ ЭК1");
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "Изменен текст аварии").size(), 1u);
}

TEST_F(AlarmListTest, RaisingAndClearingAreJournalledOnceAndClearingAnAbsentCodeIsANoOp) {
    startIn(kModeStop);
    EXPECT_TRUE(controller->raiseAlarm(makeAlarm(18)));
    EXPECT_FALSE(controller->raiseAlarm(makeAlarm(18)));
    EXPECT_TRUE(controller->clearAlarm(18));
    EXPECT_FALSE(controller->clearAlarm(18));

    std::vector<std::string> entries = journal();
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "Авария привода: 4. Остановка по ЭКМ"), 1);
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "Снятие аварии: 4. Остановка по ЭКМ"), 1);
    EXPECT_EQ(controller->alarmEvents(), (std::deque<int32_t>{18, -18}));
}

TEST_F(AlarmListTest, TheWebApiGetsPairsInCodeOrder) {
    startIn(kModeStop);
    controller->raiseAlarm(makeAlarm(16, "20.2 Перегруз по току ЧРП НУ1. АПВ №1"));
    controller->raiseAlarm(makeAlarm(2));

    auto entries = controller->view().alarmEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0],
              std::make_pair(std::string("alarm2"), std::string("14.1 Обрыв датчика уровня масла")));
    EXPECT_EQ(entries[1].first, "alarm16");
}

TEST_F(AlarmListTest, WorkControlWithOnlyTheStopBitTripsTheRelaysInStopAndReleasesThemInAutomatic) {
    config->workControl.mask = 0x2;
    startIn(kModeAutomatic);
    settle();
    EXPECT_TRUE(output(17));
    EXPECT_TRUE(output(18));

    setModeSwitch(1, kModeStop);
    settle();
    EXPECT_FALSE(output(17));
    EXPECT_FALSE(output(18));

    setModeSwitch(1, kModeAutomatic);
    settle();
    EXPECT_TRUE(output(17));
    EXPECT_TRUE(output(18));
}

TEST_F(AlarmListTest, AnAlarmWithItsBitTripsTheRelaysUntilTheLastReasonGoes) {
    // Bits for alarm 18 (flag 20) and alarm 1 (flag 3).
    config->workControl.mask = (1ull << 20) | (1ull << 3);
    startIn(kModeStop);
    controller->raiseAlarm(makeAlarm(18));
    controller->raiseAlarm(makeAlarm(1));
    controller->raiseAlarm(makeAlarm(22)); // no bit: no effect
    EXPECT_FALSE(output(17));

    controller->clearAlarm(18);
    EXPECT_FALSE(output(18)); // alarm 1 still trips them
    controller->clearAlarm(1);
    EXPECT_TRUE(output(17));
    EXPECT_TRUE(output(18));
}

TEST_F(AlarmListTest, ASensorFaultArmsThePeriodicSensorResetAndItsClearingCancelsIt) {
    config->sensorResetPeriod.value = 1;
    config->sensorResetDuration.value = 2;
    startIn(kModeStop);
    run(1100); // the first readings of the sensors are in
    controller->raiseAlarm(makeAlarm(21));
    EXPECT_TRUE(list().sensorFault());

    run(59990);
    EXPECT_FALSE(output(19));
    run(20);
    EXPECT_TRUE(output(19)); // the sensors are powered off for two seconds
    run(2000);
    EXPECT_FALSE(output(19));

    controller->clearAlarm(21);
    EXPECT_FALSE(list().sensorFault());
    run(61000);
    EXPECT_FALSE(controller->sensorResetRunning());
    EXPECT_FALSE(output(19));
}

TEST_F(AlarmListTest, LowOilArmsTheSensorResetOnlyWhenSensorResetOnLowOilIsOn) {
    config->sensorResetPeriod.value = 1;
    config->sensorResetDuration.value = 2;
    config->sensorResetOnLowOil.current = 0;
    startIn(kModeStop);
    run(1100);
    controller->raiseAlarm(makeAlarm(1));
    EXPECT_FALSE(list().sensorFault());
    run(60010);
    EXPECT_TRUE(output(19));
}

TEST_F(AlarmListTest, ThePageDrawsTheHeadingOrNoAlarmsAndScrollsByTwelvePixelsWithinItsContent) {
    startIn(kModeStop);
    ASSERT_GE(page().index(), 0); // a page of the root set
    EXPECT_EQ(page().layer().width(), 1024);
    EXPECT_EQ(page().layer().height(), 85);

    for (int32_t code : {1, 2, 3, 4, 5, 6})
        controller->raiseAlarm(makeAlarm(code));
    EXPECT_EQ(page().layer().width(), 704);
    EXPECT_EQ(page().layer().height(), 85);
    EXPECT_EQ(page().contentHeight(), 14 * 6 + 15);
    std::vector<uint8_t> unscrolled = page().layer().pixels();
    int top = page().layer().top();
    EXPECT_TRUE(page().onKey(kKeyDown, true));
    EXPECT_EQ(page().scrollOffset(), 12);
    // The same 704 x 85 layer in the same place, its text drawn 12 rows higher.
    EXPECT_EQ(page().layer().height(), 85);
    EXPECT_EQ(page().layer().top(), top);
    EXPECT_NE(page().layer().pixels(), unscrolled);
    for (int i = 0; i < 10; ++i)
        page().onKey(kKeyDown, true);
    EXPECT_EQ(page().scrollOffset(), 14 * 6 + 15 - display->height());
    EXPECT_TRUE(page().onKey(kKeyUp, true));
    EXPECT_EQ(page().scrollOffset(), 14 * 6 + 15 - display->height() - 12);
    EXPECT_FALSE(page().onKey(kKeyEnter, true));
    EXPECT_FALSE(page().onKey(kKeyLeft, true));
}

TEST_F(AlarmListTest, ResetEmptiesTheListWithoutJournalling) {
    startIn(kModeStop);
    controller->raiseAlarm(makeAlarm(22));
    list().reset();
    EXPECT_EQ(list().count(), 0u);
    EXPECT_FALSE(list().sensorFault());
    EXPECT_FALSE(journalHas("Снятие аварии: 15. Неисправность датчика давления"));
}

} // namespace
