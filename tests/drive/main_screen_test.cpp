// The main screen as the daemon builds it: the first page of the root set, its lines read back from
// what it drew on the virtual clock.
#include "drive/discrete_inputs.h"
#include "tests/drive/controller_fixture.h"
#include "ui/clock.h"
#include "ui/keys.h"

#include <map>

namespace {

class MainScreenTest : public ControllerFixture {
protected:
    Clock& screen() { return *objects.mainScreen; }
    // The drawn text that starts with the prefix ("" when none does).
    std::string line(const std::string& prefix) {
        for (const auto& placed : screen().shownLines())
            if (placed.text.rfind(prefix, 0) == 0)
                return placed.text;
        return "";
    }
    std::string at(int x, int y) {
        for (const auto& placed : screen().shownLines())
            if (placed.x == x && placed.y == y)
                return placed.text;
        return "";
    }
    // A healthy rig with the panel switched on (input 27), then start().
    void startLit(int mode) {
        healthyRig(mode, true);
        setInput(kInputPanelEnable, true);
        start();
    }
    void press(int key) {
        rootMenu->onKey(key, true);
        rootMenu->onKey(key, false);
    }
};

TEST_F(MainScreenTest, IsTheFirstPageAndShowsEveryLineInPlace) {
    config->nsMode.current = 1;
    startLit(kModeAutomatic);
    run(2000);
    ASSERT_EQ(rootMenu->items().front(), &screen());
    EXPECT_EQ(at(0, 8), "Автоматический режим");
    EXPECT_EQ(at(200, 8), "ИР-Вкл.");
    EXPECT_EQ(at(0, 17), controller->view().currentAlarmText());
    EXPECT_EQ(at(0, 26).rfind("НУ1-", 0), 0U);
    EXPECT_EQ(at(120, 26).rfind("НУ2-", 0), 0U);
    EXPECT_EQ(at(0, 35).rfind("ЭК1-", 0), 0U);
    EXPECT_EQ(at(120, 35).rfind("ЭК2-", 0), 0U);
    // 4 mA on the loop: the absolute pressure is 1.0, shown above the atmosphere.
    EXPECT_EQ(at(3, 53), "P = 0.0 атм.");
    EXPECT_EQ(at(0, 44).rfind("G = ", 0), 0U);
    EXPECT_NE(at(0, 44), "G = н/д");
    EXPECT_NE(at(100, 44), "I1 = н/д");
    EXPECT_NE(at(176, 44), "F1 = н/д");
    // No thermometer in this rig.
    EXPECT_EQ(at(2, 62), "T = н/д");
    EXPECT_EQ(at(124, 63).size(), std::string("07.12.2026 21:00:00").size());
}

TEST_F(MainScreenTest, DirectRateSettingReadsSmartModeOff) {
    config->nsMode.current = 0;
    startLit(kModeStop);
    run(500);
    EXPECT_EQ(at(200, 8), "ИР-Откл.");
    EXPECT_EQ(at(0, 8), "Режим \"Стоп\"");
}

TEST_F(MainScreenTest, SilentDriveTwoLosesOnlyItsOwnValues) {
    startLit(kModeAutomatic);
    run(2000);
    drive(2).setSilent(true);
    ASSERT_TRUE(runUntil([&] { return line("I2 = ") == "I2 = н/д"; }, 20000));
    EXPECT_EQ(line("F2 = "), "F2 = н/д");
    EXPECT_NE(line("I1 = "), "I1 = н/д");
    EXPECT_NE(line("F1 = "), "F1 = н/д");
}

TEST_F(MainScreenTest, InvalidPressureReplacesLoadAndPressure) {
    startLit(kModeAutomatic);
    run(2000);
    ASSERT_TRUE(controller->view().pressure().valid);
    // A loop current below 4 mA is a broken pressure sensor.
    rig->setAdc(4, 0);
    ASSERT_TRUE(runUntil([&] { return !controller->view().pressure().valid; }, 30000));
    run(200);
    EXPECT_EQ(line("G = "), "G = н/д");
    EXPECT_EQ(line("P = "), "P = н/д");
}

TEST_F(MainScreenTest, CoveredScreenIsNotRedrawn) {
    startLit(kModeAutomatic);
    run(500);
    std::string before = at(124, 63);
    press(kKeyRight);
    run(3000);
    EXPECT_EQ(at(124, 63), before);
    press(kKeyLeft);
    run(3000);
    EXPECT_NE(at(124, 63), before);
}

} // namespace
