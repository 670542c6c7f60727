// The log viewer as the daemon builds it: opened from the main screen through the settings menu with
// the keypad on the chain, reading the journal the daemon wrote, and read back from what the panel
// shows.
#include "drive/discrete_inputs.h"
#include "tests/drive/controller_fixture.h"
#include "ui/clock.h"
#include "ui/keys.h"
#include "ui/log_viewer.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace {

// "Просмотр журнала и динамограмм" is the eighth place of "Меню настроек".
constexpr int kJournalPlace = 8;

// What each category is about, told by plain text searches, so the expressions are checked against
// something other than themselves.
bool inCategory(int category, const std::string& line) {
    auto has = [&line](const char* text) { return line.find(text) != std::string::npos; };
    switch (category) {
    case 0:
        return has("velkord started");
    case 1:
        return has("переключатель режима работы:");
    case 2:
        return has("Авари") || has("авари");
    case 3:
        return has("Настройка '") && has("' изменена:");
    case 4:
        return has("Изменено число качаний:");
    case 5:
        return has("помечена как исправная") || has("помечена как неисправная");
    case 6:
        return has(" I1=") && has(" I2=") && has(" F1=") && has(" F2=");
    }
    for (int other = 0; other < kJournalOtherCategory; ++other)
        if (inCategory(other, line))
            return false;
    return true;
}

class LogViewerTest : public ControllerFixture {
protected:
    LogViewer& viewer() { return objects.mainScreen->logViewer(); }
    void tapKey(int key) {
        setInput(key, true);
        settle();
        setInput(key, false);
        settle();
    }
    void startLit() {
        healthyRig(kModeStop, true);
        setInput(kInputPanelEnable, true);
        start();
        run(200);
    }
    // The journal of a run: started, a mode switch turned, a setting and a flag changed, a unit marked
    // faulty and mended, an alarm raised; every entry with its parameter line.
    void writeRun() {
        config->logLevel.set(1);
        journalPrintf(LOG_INFO, "velkord started");
        setModeSwitch(1, kModeManual);
        run(500);
        config->nSwings.set(config->nSwings.value + 1);
        // A flag of a group: none of the categories.
        config->workControl.setFlag(0, !config->workControl.isOn(0));
        // As the stroke-rate correction writes it.
        journalPrintf(LOG_INFO, "Изменено число качаний: %f --> %f, Kнаполн=%f", 5.0, 5.5, 0.9);
        unit(2).markFaulty(true);
        unit(2).markFaulty(false);
        setInput(9, false);
        setInput(10, true);
        ASSERT_TRUE(runUntil([&] { return journalHasPrefix("Авария привода: "); }, 60000));
        run(2000);
    }
    bool journalHasPrefix(const std::string& prefix) {
        for (const std::string& entry : journal())
            if (entry.rfind(prefix, 0) == 0)
                return true;
        return false;
    }
    // The journal's lines as they are in the file.
    std::vector<std::string> fileLines() {
        std::vector<std::string> lines;
        std::istringstream in(file("/var/log/events"));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    // From the main screen: ВВОД, the menu's last place, ВВОД, ВВОД, then the slices of the reading.
    void openViewer() {
        ASSERT_EQ(rootMenu->currentItem(), objects.mainScreen.get());
        opened = fileLines();
        tapKey(kKeyEnter);
        for (int place = 1; place < kJournalPlace; ++place)
            tapKey(kKeyDown);
        std::vector<std::string> menu = display->visibleTexts();
        EXPECT_NE(std::find(menu.begin(), menu.end(), "Просмотр журнала и динамограмм"), menu.end());
        tapKey(kKeyEnter);
        EXPECT_EQ(display->visibleTexts(), std::vector<std::string>{"Просмотр журнала"});
        tapKey(kKeyEnter);
        ASSERT_TRUE(viewer().isShown());
        ASSERT_TRUE(runUntil([&] { return !viewer().isLoading(); }, 2000));
    }
    // The last six lines of the opening's journal in the category (all lines for -1).
    std::vector<std::string> lastSix(int category) {
        std::vector<std::string> lines;
        for (const std::string& line : opened)
            if (category < 0 || inCategory(category, line))
                lines.push_back(line);
        if (lines.size() > 6)
            lines.erase(lines.begin(), lines.end() - 6);
        return lines;
    }
    // In the filter editor: ВВОД on the category's row.
    void toggleCategory(int category) {
        tapKey(kKeyEnter);
        ASSERT_TRUE(viewer().filterEditor().isShown());
        for (int n = 0; n < category; ++n)
            tapKey(kKeyDown);
        tapKey(kKeyEnter);
        tapKey(kKeyCancel);
    }
    std::vector<std::string> shown() { return display->visibleTexts(); }
    // ОТМ closes the viewer onto its menu; ВВОД opens it again on the journal as it is now.
    void reopen() {
        tapKey(kKeyCancel);
        ASSERT_FALSE(viewer().isShown());
        opened = fileLines();
        tapKey(kKeyEnter);
        ASSERT_TRUE(runUntil([&] { return !viewer().isLoading(); }, 2000));
    }
    std::vector<std::string> firstSix(int category) {
        std::vector<std::string> lines;
        for (const std::string& line : opened)
            if (inCategory(category, line) && lines.size() < 6)
                lines.push_back(line);
        return lines;
    }

    std::vector<std::string> opened;
};

TEST_F(LogViewerTest, OpensOnTheNewestSixLinesOfTheJournal) {
    startLit();
    writeRun();
    openViewer();
    ASSERT_GE(opened.size(), 12U);
    EXPECT_EQ(viewer().entries().size(), opened.size());
    EXPECT_EQ(shown(), lastSix(-1));
    // Each line's categories are what its text says.
    for (size_t n = 0; n < opened.size(); ++n)
        for (int category = 0; category < kJournalCategoryCount; ++category)
            EXPECT_EQ((viewer().entries()[n].categories >> category & 1) != 0,
                      inCategory(category, opened[n]))
                << "category " << category << ": " << opened[n];
    // Entries written while the viewer is open wait for the next opening.
    journalPrintf(LOG_INFO, "Сброс счетчика АПВ");
    run(200);
    EXPECT_EQ(shown(), lastSix(-1));
}

TEST_F(LogViewerTest, EachCategoryAloneShowsItsOwnLines) {
    startLit();
    writeRun();
    openViewer();
    for (int category = 0; category < kJournalCategoryCount; ++category) {
        // Each opening starts with the newest lines and no filter.
        reopen();
        toggleCategory(category);
        EXPECT_EQ(viewer().filter().mask, 1U << category);
        std::vector<std::string> expected = lastSix(category);
        EXPECT_FALSE(expected.empty()) << category;
        EXPECT_EQ(shown(), expected) << "category " << category;
        // With every box cleared again, every line shows again, from the first shown one on.
        toggleCategory(category);
        EXPECT_EQ(viewer().filter().mask, 0U);
        auto first = opened.begin() + viewer().firstShown();
        EXPECT_EQ(shown(), std::vector<std::string>(first, std::min(first + 6, opened.end())));
    }
}

TEST_F(LogViewerTest, TwoCategoriesTogetherShowTheLinesOfEither) {
    startLit();
    writeRun();
    openViewer();
    toggleCategory(0);
    toggleCategory(5);
    std::vector<std::string> expected;
    for (const std::string& line : opened)
        if (inCategory(0, line) || inCategory(5, line))
            expected.push_back(line);
    ASSERT_LE(expected.size(), 6U);
    EXPECT_EQ(shown(), expected);
    // The filter changes are no settings: nothing of them reaches the journal.
    EXPECT_EQ(file("/var/log/events").find("filter"), std::string::npos);
}

TEST_F(LogViewerTest, ScrollingStopsAtBothEndsAndTheTextSlidesSideways) {
    startLit();
    writeRun();
    openViewer();
    std::vector<std::string> newest = shown();
    tapKey(kKeyDown);
    EXPECT_EQ(shown(), newest); // the last six are on screen already
    tapKey(kKeyUp);
    std::vector<std::string> oneUp = shown();
    ASSERT_EQ(oneUp.size(), 6U);
    EXPECT_EQ(oneUp.front(), opened[opened.size() - 7]);
    EXPECT_EQ(oneUp.back(), opened[opened.size() - 2]);
    for (size_t n = 0; n < opened.size(); ++n)
        tapKey(kKeyUp);
    EXPECT_EQ(viewer().firstShown(), 0);
    EXPECT_EQ(shown(), std::vector<std::string>(opened.begin(), opened.begin() + 6));
    for (size_t n = 0; n < opened.size(); ++n)
        tapKey(kKeyDown);
    EXPECT_EQ(shown(), newest);

    // Sideways: left stops at the start of the lines, right has no limit.
    tapKey(kKeyLeft);
    EXPECT_EQ(viewer().page().texts().front().x, 0);
    tapKey(kKeyRight);
    tapKey(kKeyRight);
    EXPECT_EQ(viewer().page().texts().front().x, -40);
    tapKey(kKeyLeft);
    EXPECT_EQ(viewer().page().texts().front().x, -20);

    // At the top, a filter shows the first passing lines from there on.
    for (size_t n = 0; n < opened.size(); ++n)
        tapKey(kKeyUp);
    toggleCategory(2);
    EXPECT_EQ(shown(), firstSix(2));
    tapKey(kKeyCancel);
    EXPECT_FALSE(viewer().isShown());
    EXPECT_EQ(shown(), std::vector<std::string>{"Просмотр журнала"});
}

TEST_F(LogViewerTest, ASourceLocationWordIsNotShown) {
    startLit();
    journalPrintf(LOG_INFO, "НУ1: %s:%d: проверка связи", "pump_unit.cpp", 96);
    openViewer();
    std::vector<std::string> lines = shown();
    ASSERT_FALSE(lines.empty());
    const std::string& last = opened.back();
    ASSERT_NE(last.find(" НУ1: pump_unit.cpp:96: проверка связи"), std::string::npos);
    EXPECT_EQ(lines.back(), last.substr(0, 16) + "НУ1: проверка связи");
}

TEST_F(LogViewerTest, AnUnreadableJournalShowsTheErrorAndAnEmptyOneAnEmptyList) {
    startLit();
    std::string journalPath = board.path("/var/log/events");
    journalClose();
    std::filesystem::remove(journalPath);
    std::filesystem::create_directory(journalPath);
    openViewer();
    EXPECT_TRUE(viewer().failed());
    EXPECT_EQ(shown(), (std::vector<std::string>{"Ошибка!", "Не могу прочитать", "/var/log/events"}));
    // The viewer stays open until ОТМ; the other keys do nothing.
    tapKey(kKeyDown);
    tapKey(kKeyEnter);
    EXPECT_FALSE(viewer().filterEditor().isShown());
    EXPECT_EQ(shown(), (std::vector<std::string>{"Ошибка!", "Не могу прочитать", "/var/log/events"}));
    tapKey(kKeyCancel);
    EXPECT_FALSE(viewer().isShown());

    std::filesystem::remove(journalPath);
    writeFile(journalPath, "");
    ASSERT_EQ(file("/var/log/events"), "");
    tapKey(kKeyEnter);
    ASSERT_TRUE(runUntil([&] { return !viewer().isLoading(); }, 2000));
    EXPECT_TRUE(viewer().isShown());
    EXPECT_FALSE(viewer().failed());
    EXPECT_TRUE(shown().empty());
}

} // namespace
