#include "config/config_flags_group.h"
#include "config/config_float.h"
#include "config/config_select.h"
#include "config/config_string.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "tests/support/test_board.h"
#include "ui/display.h"
#include "ui/edit_checkbox_group.h"
#include "ui/edit_radio.h"
#include "ui/edit_string.h"
#include "ui/keys.h"
#include "ui/utf8.h"
#include "ui/value_edit.h"
#include "ui/vertical_menu.h"

#include <gtest/gtest.h>

namespace {

class EditorTest : public ::testing::Test {
protected:
    EditorTest() : display(board.platform().simFramebuffer()) {
        gTimers = &timers;
        ::testing::internal::CaptureStdout();
        display.open();
        ::testing::internal::GetCapturedStdout();
        gDisplay = &display;
    }
    ~EditorTest() override {
        gDisplay = nullptr;
        gTimers = nullptr;
    }
    // Presses and releases a key; an open editor consumes the release too, a closed one passes it on.
    void press(ScreenItem& item, int key, int times = 1) {
        for (int i = 0; i < times; ++i) {
            EXPECT_TRUE(item.onKey(key, true)) << key;
            EXPECT_EQ(item.onKey(key, false), item.isShown()) << key;
        }
    }
    std::string journal() { return readFile(board.path("/var/log/events")); }

    TestBoard board;
    TimerQueue timers;
    Display display;
};

ConfigFloat number(const char* label, float value, float minValue, float maxValue) {
    ConfigFloat setting;
    setting.label = label;
    setting.value = value;
    setting.defaultValue = value;
    setting.minValue = minValue;
    setting.maxValue = maxValue;
    return setting;
}

TEST_F(EditorTest, NumberEditorStepsTheDigitUnderTheCursorWithinTheRange) {
    ConfigFloat load = number("Нагрузка", 60, 0, 600);
    ValueEdit editor(load, 2);
    editor.activate(0);
    EXPECT_EQ(editor.shownText(), "060.00");
    EXPECT_EQ(editor.cursor(), 5);

    press(editor, kKeyLeft, 3); // skips the decimal point: onto the units, then the tens
    EXPECT_EQ(editor.cursor(), 1);
    press(editor, kKeyUp);
    EXPECT_EQ(editor.shownText(), "070.00");

    press(editor, kKeyLeft);
    press(editor, kKeyLeft); // already on the first character
    EXPECT_EQ(editor.cursor(), 0);
    press(editor, kKeyUp, 5); // 170, 270, ... 570
    EXPECT_EQ(editor.shownText(), "570.00");
    press(editor, kKeyUp);
    EXPECT_EQ(editor.shownText(), "600.00"); // clamped, not 670
    press(editor, kKeyDown, 7);
    EXPECT_EQ(editor.shownText(), "000.00");

    press(editor, kKeyRight, 9); // onto the last digit and no further
    EXPECT_EQ(editor.cursor(), 5);
    press(editor, kKeyUp, 3);
    EXPECT_EQ(editor.shownText(), "000.03");
    EXPECT_EQ(load.value, 60); // nothing written yet
    EXPECT_FALSE(fileExists(board.path("/var/log/events")));

    press(editor, kKeyEnter);
    EXPECT_FALSE(editor.isShown());
    EXPECT_FLOAT_EQ(load.value, 0.03f);
    EXPECT_NE(journal().find("Настройка 'Нагрузка' изменена: 60.00 --> 0.03"), std::string::npos);
    EXPECT_FALSE(editor.onKey(kKeyUp, true)); // closed: keys go elsewhere
}

TEST_F(EditorTest, NumberEditorKeepsTheDecimalPlaceWhenTheTextChangesLength) {
    ConfigFloat rate = number("Число", 3, -10, 1000); // format %07.2f: "0003.00"
    ValueEdit editor(rate, 2);
    editor.activate(0);
    EXPECT_EQ(editor.shownText(), "0003.00");
    press(editor, kKeyLeft, 2); // the units digit
    press(editor, kKeyDown, 5);
    EXPECT_EQ(editor.shownText(), "-002.00"); // one character of sign replaces a zero
    EXPECT_EQ(editor.cursor(), 3);
    press(editor, kKeyDown, 20);
    EXPECT_EQ(editor.shownText(), "-010.00");
    press(editor, kKeyCancel);
    EXPECT_EQ(rate.value, 3); // cancelled
}

TEST_F(EditorTest, SpecialValueOpensWithItsTextAndUpLeavesIt) {
    ConfigFloat gMax = number("Максимальная нагрузка на штоке", -0.01f, -0.01f, 20000);
    ValueEdit editor(gMax, 2, {{-0.01f, "Не учитывать"}});
    editor.activate(0);
    EXPECT_EQ(editor.shownText(), "Не учитывать");
    press(editor, kKeyLeft); // no cursor in special mode
    press(editor, kKeyUp);   // counts as the last digit: -0.01 + 0.01
    EXPECT_EQ(editor.shownText(), "00000.00");
    press(editor, kKeyDown);
    EXPECT_EQ(editor.shownText(), "Не учитывать");
    press(editor, kKeyEnter);
    EXPECT_FALSE(fileExists(board.path("/var/log/events"))); // unchanged value: nothing journalled
}

TEST_F(EditorTest, ChoiceEditorWritesOnlyAChangedOption) {
    OnOffAuto mode("Режим работы НУ1", 2, false);
    EditRadio editor(mode);
    editor.activate(0);
    EXPECT_EQ(editor.cursor(), 2);
    press(editor, kKeyEnter); // the current option again
    EXPECT_FALSE(editor.isShown());
    EXPECT_FALSE(fileExists(board.path("/var/log/events")));

    editor.activate(0);
    press(editor, kKeyUp, 5); // stops at the first option
    EXPECT_EQ(editor.cursor(), 0);
    press(editor, kKeyLeft); // consumed, no effect
    EXPECT_TRUE(editor.isShown());
    press(editor, kKeyEnter);
    EXPECT_EQ(mode.current, 0);
    EXPECT_NE(journal().find("Настройка 'Режим работы НУ1' изменена: 'Авто' --> 'Вкл.'"), std::string::npos);
}

TEST_F(EditorTest, ChoiceListScrollsAndStarsTheCurrentOption) {
    ConfigSelect speed("Скорость", 1, false);
    for (const char* option : {"300", "600", "1200", "2400", "4800", "9600", "19200"})
        speed.options.push_back(option);
    EditRadio editor(speed);
    editor.activate(0);
    // Row 1 carries the star between its parentheses at x 8..13.
    int starInk = 0;
    for (int y = 14; y < 28; ++y)
        for (int x = 7; x < 13; ++x)
            starInk = std::max<int>(starInk, editor.page().pixel(x, y));
    EXPECT_GT(starInk, 100);
    press(editor, kKeyDown, 6);
    EXPECT_EQ(editor.cursor(), 6);
    EXPECT_LE(editor.bar().rect().bottom, 64); // the bar stays on the screen
    EXPECT_GE(editor.bar().top(), 0);
}

TEST_F(EditorTest, CheckboxEditorTogglesFlagsAndOnlyCancelCloses) {
    ConfigFlagsGroup control("Контроль работы", 0b10, false);
    for (const char* flag : {"Ручной режим", "Режим стоп", "Авария 0"})
        control.options.push_back(flag);
    EditCheckboxGroup editor(control);
    editor.activate(0);
    press(editor, kKeyEnter);
    EXPECT_EQ(control.mask, 0b11u);
    EXPECT_TRUE(editor.isShown());
    press(editor, kKeyDown);
    press(editor, kKeyEnter);
    EXPECT_EQ(control.mask, 0b01u);
    EXPECT_NE(journal().find("Опция 'Режим стоп' настройки 'Контроль работы' изменена: 'вкл' --> 'выкл'"),
              std::string::npos);
    press(editor, kKeyCancel);
    EXPECT_FALSE(editor.isShown());
}

TEST_F(EditorTest, TextEditorCyclesTheAlphabetAndDropsTrailingBlanks) {
    ConfigString name{"Наименование скважины", "", "", false};
    EditString editor(name, EditString::wellNameAlphabet());
    editor.activate(0);
    press(editor, kKeyUp, 23); // " #$%&'(),-.0123456789=@A"
    EXPECT_EQ(editor.edited()[0], U'A');
    press(editor, kKeyRight);
    press(editor, kKeyUp, 24);
    EXPECT_EQ(editor.edited()[1], U'B');
    press(editor, kKeyRight, 3);
    press(editor, kKeyDown); // wraps from the first character to the last
    EXPECT_EQ(editor.edited()[4], U'я');
    press(editor, kKeyUp); // and back
    EXPECT_EQ(editor.edited()[4], U' ');
    press(editor, kKeyEnter);
    EXPECT_EQ(name.value, "AB");
}

TEST_F(EditorTest, TextEditorReplacesForeignCharactersAndScrollsItsWindow) {
    ConfigString name{"Имя", "", "a!b", false};
    EditString editor(name, EditString::wellNameAlphabet(), 20);
    editor.activate(0);
    press(editor, kKeyRight);
    press(editor, kKeyUp); // "!" is not in the alphabet: becomes its second character
    EXPECT_EQ(editor.edited()[1], U'#');
    press(editor, kKeyRight, 30);
    EXPECT_EQ(editor.cursor(), 19); // the maximum length stops it
    EXPECT_EQ(editor.firstShown(), 19 - EditString::kVisibleCharacters + 1);
    press(editor, kKeyDown); // a blank beyond the text: the previous character of the alphabet
    EXPECT_EQ(editor.edited()[19], U'я');
    press(editor, kKeyEnter);
    EXPECT_EQ(name.value, "a#b                я");

    ConfigString other{"Другое", "", "", false};
    EditString plain(other);
    plain.activate(0);
    press(plain, kKeyDown); // not "!": the default alphabet has every printable character
    EXPECT_EQ(plain.edited()[0], U'я');
    EXPECT_EQ(EditString::defaultAlphabet().size(), 95u + 33u + 33u);
}

TEST_F(EditorTest, EditorOpensOverItsMenuAndClosingShowsTheMenuAgain) {
    VerticalMenu menu("Меню");
    ConfigFloat rate = number("Число качаний", 3, 0.2f, 10);
    ValueEdit editor(rate, 2);
    menu.addMenuItem(&editor);
    menu.activate(0);
    Layer before = display.screenImage();
    EXPECT_TRUE(menu.onKey(kKeyEnter, true));
    EXPECT_TRUE(editor.isShown());
    EXPECT_NE(display.screenImage(), before);
    EXPECT_TRUE(menu.onKey(kKeyDown, true)); // the open editor takes it
    EXPECT_TRUE(menu.onKey(kKeyCancel, true));
    EXPECT_FALSE(editor.isShown());
    EXPECT_TRUE(menu.isShown());
    EXPECT_EQ(display.screenImage(), before);
    EXPECT_EQ(rate.value, 3);
}

} // namespace
