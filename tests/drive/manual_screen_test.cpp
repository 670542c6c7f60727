// The manual-mode screen as the daemon builds it: a page of the root set reached and worked with the
// keypad on the chain, read back from what the panel shows.
#include "drive/discrete_inputs.h"
#include "tests/drive/controller_fixture.h"
#include "ui/clock.h"
#include "ui/debug_screen.h"
#include "ui/keys.h"
#include "ui/manual_screen.h"

#include <algorithm>
#include <cctype>

namespace {

const std::vector<std::string> kManualList = {"Работа без ограничений", "Частота двигателя 1",
                                              "Частота двигателя 2", "Разовый реверсный пуск"};

class ManualScreenTest : public ControllerFixture {
protected:
    ManualScreen& screen() { return *objects.manualScreen; }
    void startLit() {
        healthyRig(kModeStop, true);
        setInput(kInputPanelEnable, true);
        start();
        run(200);
    }
    // One key on the keypad: pressed, then released.
    void tapKey(int key) {
        setInput(key, true);
        settle();
        setInput(key, false);
        settle();
    }
    // The page slides in 30 ms steps.
    void goRight() {
        tapKey(kKeyRight);
        run(500);
    }
    void goLeft() {
        tapKey(kKeyLeft);
        run(500);
    }
    std::vector<std::string> shown() { return display->visibleTexts(); }
    // The number the open editor shows ("" when none).
    std::string editedNumber() {
        for (const std::string& text : shown())
            if (!text.empty() && std::isdigit(static_cast<unsigned char>(text[0])))
                return text;
        return "";
    }
    // With the number editor open, turns each digit to the target's, highest first.
    void dialNumber(const std::string& target) {
        std::string text = editedNumber();
        ASSERT_EQ(text.size(), target.size());
        int cursor = static_cast<int>(text.size()) - 1;
        for (int position = 0; position < static_cast<int>(target.size()); ++position) {
            if (target[position] == '.')
                continue;
            // The cursor steps over the decimal point.
            while (cursor > position) {
                tapKey(kKeyLeft);
                cursor -= target[cursor - 1] == '.' ? 2 : 1;
            }
            while (cursor < position) {
                tapKey(kKeyRight);
                cursor += target[cursor + 1] == '.' ? 2 : 1;
            }
            for (int taps = 0; taps < 10 && editedNumber()[position] != target[position]; ++taps)
                tapKey(editedNumber()[position] < target[position] ? kKeyUp : kKeyDown);
            ASSERT_EQ(editedNumber()[position], target[position]) << editedNumber();
        }
        ASSERT_EQ(editedNumber(), target);
    }
    std::string mainFile() { return file("/etc/velkord"); }
};

TEST_F(ManualScreenTest, StandsAfterTheMainScreenPagesAndBeforeTheDebugScreen) {
    startLit();
    const auto& pages = rootMenu->items();
    ASSERT_EQ(pages.size(), 4U);
    EXPECT_EQ(pages[0], objects.mainScreen.get());
    EXPECT_EQ(pages[1], objects.alarmPage.get());
    EXPECT_EQ(pages[2], &screen());
    EXPECT_EQ(pages[3], objects.debugScreen.get());
    EXPECT_EQ(screen().title(), "Экран ручного режима");
    EXPECT_EQ(screen().list().title(), "Настройки ручного режима");
}

TEST_F(ManualScreenTest, ShowsItsListAtOnceAndLeftRightGoToTheNeighbours) {
    startLit();
    goRight();
    goRight();
    ASSERT_EQ(rootMenu->currentItem(), &screen());
    EXPECT_EQ(shown(), kManualList);
    // ОТМ with no editor open leaves the page as it is.
    tapKey(kKeyCancel);
    run(200);
    EXPECT_EQ(rootMenu->currentItem(), &screen());
    EXPECT_TRUE(screen().list().isShown());
    EXPECT_EQ(shown(), kManualList);
    goRight();
    EXPECT_EQ(rootMenu->currentItem(), objects.debugScreen.get());
    EXPECT_EQ(shown().front(), "Отладочный экран");
    goLeft();
    EXPECT_EQ(rootMenu->currentItem(), &screen());
    EXPECT_EQ(shown(), kManualList);
    goLeft();
    EXPECT_EQ(rootMenu->currentItem(), alarmPage);
}

TEST_F(ManualScreenTest, AFrequencyIsJournalledAndSaved) {
    startLit();
    goRight();
    goRight();
    std::string before = mainFile();
    tapKey(kKeyDown);
    tapKey(kKeyEnter);
    std::vector<std::string> editor = shown();
    ASSERT_FALSE(editor.empty());
    EXPECT_EQ(editor.front(), "Частота двигателя 1");
    dialNumber("055.50");
    char expected[128];
    std::snprintf(expected, sizeof expected, "Настройка 'Частота двигателя 1' изменена: %.2f --> 55.50",
                  config->manualFreqDrive1.value);
    tapKey(kKeyEnter);
    EXPECT_FLOAT_EQ(config->manualFreqDrive1.value, 55.5f);
    EXPECT_TRUE(journalHas(expected));
    EXPECT_NE(mainFile(), before);
    EXPECT_NE(mainFile().find("<manualFreqDrive1>55.5</manualFreqDrive1>"), std::string::npos) << mainFile();
    // The editor closed onto the list, the entry still selected.
    EXPECT_EQ(shown(), kManualList);
    EXPECT_EQ(screen().list().current(), 1);
}

TEST_F(ManualScreenTest, TheTwoSwitchesAreJournalledButNotSaved) {
    startLit();
    goRight();
    goRight();
    std::string before = mainFile();
    ASSERT_EQ(config->manualNoLimits.current, 1);
    tapKey(kKeyEnter);
    std::vector<std::string> options = shown();
    EXPECT_NE(std::find(options.begin(), options.end(), "Вкл."), options.end());
    EXPECT_NE(std::find(options.begin(), options.end(), "Откл."), options.end());
    tapKey(kKeyUp);
    tapKey(kKeyEnter);
    EXPECT_EQ(config->manualNoLimits.current, 0);
    EXPECT_TRUE(journalHas("Настройка 'Работа без ограничений' изменена: 'Откл.' --> 'Вкл.'"));
    for (int n = 0; n < 3; ++n)
        tapKey(kKeyDown);
    EXPECT_EQ(screen().list().current(), 3);
    tapKey(kKeyEnter);
    tapKey(kKeyUp);
    tapKey(kKeyEnter);
    EXPECT_EQ(config->manualReverseStart.current, 0);
    EXPECT_TRUE(journalHas("Настройка 'Разовый реверсный пуск' изменена: 'Откл.' --> 'Вкл.'"));
    EXPECT_EQ(mainFile(), before);
    EXPECT_EQ(mainFile().find("manualNoLimits"), std::string::npos);
    EXPECT_EQ(mainFile().find("manualReverseStart"), std::string::npos);
}

} // namespace
