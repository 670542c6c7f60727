// The log viewer's classification of journal lines, its reading in slices, and the shown text.
#include "core/journal.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"
#include "ui/display.h"
#include "ui/journal_categories.h"
#include "ui/journal_reader.h"
#include "ui/keys.h"
#include "ui/log_viewer.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

constexpr uint32_t bit(int category) {
    return uint32_t{1} << category;
}

const char kStamp[] = "Mar 05 14:07:09 ";

struct Classified {
    std::string text;
    uint32_t categories;
};

// One line of each kind the daemon journals, with the categories it belongs to.
const Classified kLines[] = {
    {"velkord started", bit(0)},
    {"НУ1: переключатель режима работы: ручной", bit(1)},
    {"Авария привода: 13. Низкий уровень масла", bit(2)},
    {"Снятие аварии: 13. Низкий уровень масла", bit(2)},
    {"Настройка 'Число качаний' изменена: 5.00 --> 6.00", bit(3)},
    {"Настройка 'Режим ИР' изменена: 'Прямое указание' --> 'Интеллектуально'", bit(3)},
    {"Изменено число качаний: 5.000000 --> 5.500000, Kнаполн=0.900000", bit(4)},
    {"НУ2: помечена как неисправная", bit(5)},
    {"НУ2: помечена как исправная", bit(5)},
    {"P=40.0 атм. G=3100.0 кгс I1=12.1 A I2=н/д F1=48.0 Гц F2=н/д T=41.5°C ЭК1=выкл ЭК2=выкл ДВ=x ДН=y",
     bit(6)},
    {"Сброс счетчика АПВ", bit(7)},
    {"АПВ НУ1", bit(7)},
    // Several at once: an alarm text that names a unit marked faulty.
    {"Авария привода: НУ1 помечена как неисправная", bit(2) | bit(5)},
    // Byte-wise the class [Аа] would also take the second byte of another letter.
    {"ѐвари", bit(7)},
};

TEST(JournalCategories, EachKindOfLineFallsIntoItsCategories) {
    JournalClassifier classifier;
    for (const Classified& line : kLines) {
        EXPECT_EQ(classifier.categories(line.text), line.categories) << line.text;
        EXPECT_EQ(classifier.categories(kStamp + line.text), line.categories) << line.text;
    }
    EXPECT_EQ(classifier.categories(""), bit(kJournalOtherCategory));
    // Not a setting change: the quotes are missing.
    EXPECT_EQ(classifier.categories("Настройка изменена: 1 --> 2"), bit(kJournalOtherCategory));
}

TEST(JournalCategories, TheEightNamesAreTheFilterFlags) {
    EXPECT_STREQ(kJournalCategoryNames[0], "запуск программы");
    EXPECT_STREQ(kJournalCategoryNames[3], "изменение настроек");
    EXPECT_STREQ(kJournalCategoryNames[6], "текущее состояние привода");
    EXPECT_STREQ(kJournalCategoryNames[7], "все остальное");
}

TEST(JournalCategories, TheFifthWordGoesWhenItIsASourceLocation) {
    EXPECT_EQ(withoutSourceLocation("Mar 05 14:07:09 velkord: controller.cpp:120: нет связи"),
              "Mar 05 14:07:09 velkord: нет связи");
    EXPECT_EQ(withoutSourceLocation("Mar 05 14:07:09 НУ1: pump_unit.cc:7:"), "Mar 05 14:07:09 НУ1: ");
    // Anything else stays.
    for (const char* line :
         {"Mar 05 14:07:09 controller.cpp:120: нет связи", // the fourth word
          "Mar 05 14:07:09 velkord: controller:120: без расширения",
          "Mar 05 14:07:09 velkord: controller.cpp:12a: не номер",
          "Mar 05 14:07:09 velkord: controller.cpp:: без номера",
          "Mar 05 14:07:09 velkord: controller.cpp:120 без двоеточия", "Mar 05 14:07:09 velkord", ""})
        EXPECT_EQ(withoutSourceLocation(line), line);
}

class JournalFileTest : public ::testing::Test {
protected:
    JournalFileTest() { gTimers = &timers; }
    ~JournalFileTest() override {
        gTimers = nullptr;
        journalClose();
    }
    std::string path() { return board.path("/var/log/events"); }
    // Entries through the journal writer.
    void writeEntries(int count) {
        for (int n = 0; n < count; ++n)
            journalPrintf(LOG_INFO, "%s", kLines[n % (sizeof kLines / sizeof *kLines)].text.c_str());
    }

    TestBoard board;
    TimerQueue timers;
};

TEST_F(JournalFileTest, TheReaderStopsWhereTheFileEndedWhenItWasOpened) {
    writeEntries(5);
    JournalReader reader;
    ASSERT_TRUE(reader.open(path()));
    std::vector<std::string> lines;
    EXPECT_EQ(reader.read(2, lines), JournalReader::Status::More);
    EXPECT_EQ(lines.size(), 2U);
    writeEntries(3);
    EXPECT_EQ(reader.read(100, lines), JournalReader::Status::Done);
    ASSERT_EQ(lines.size(), 5U);
    EXPECT_EQ(lines[4].substr(16), kLines[4].text);

    // A last line without its end is read as it is.
    writeFile(path(), "a\nb");
    ASSERT_TRUE(reader.open(path()));
    lines.clear();
    EXPECT_EQ(reader.read(100, lines), JournalReader::Status::Done);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b"}));

    EXPECT_FALSE(reader.open(board.path("/var/log/none")));
    std::filesystem::create_directories(board.path("/var/log/dir"));
    EXPECT_FALSE(reader.open(board.path("/var/log/dir")));
}

TEST_F(JournalFileTest, TheViewerReadsInSlicesAndEndsWithWhatOnePassGives) {
    constexpr int kEntries = 2000;
    writeEntries(kEntries);
    LogViewer viewer(path());
    viewer.activate(0);
    EXPECT_TRUE(viewer.isLoading());
    EXPECT_TRUE(viewer.entries().empty()); // nothing is read while the key is handled
    runFor(board, 1);
    EXPECT_LE(viewer.entries().size(), LogViewer::kLinesPerSlice);
    runFor(board, kEntries / LogViewer::kLinesPerSlice + 5);
    ASSERT_FALSE(viewer.isLoading());

    JournalClassifier classifier;
    JournalReader reader;
    ASSERT_TRUE(reader.open(path()));
    std::vector<std::string> lines;
    EXPECT_EQ(reader.read(kEntries + 1, lines), JournalReader::Status::Done);
    ASSERT_EQ(viewer.entries().size(), lines.size());
    for (size_t n = 0; n < lines.size(); ++n) {
        JournalEntry entry = classifier.entry(lines[n]);
        EXPECT_EQ(viewer.entries()[n].text, entry.text);
        EXPECT_EQ(viewer.entries()[n].categories, entry.categories);
    }
    EXPECT_EQ(viewer.firstShown(), kEntries - LogViewer::kShownLines);

    // ОТМ while a reading is under way stops it.
    viewer.close();
    viewer.activate(0);
    runFor(board, 2);
    EXPECT_TRUE(viewer.isLoading());
    EXPECT_TRUE(viewer.onKey(kKeyCancel, true));
    EXPECT_FALSE(viewer.isShown());
    EXPECT_FALSE(viewer.isLoading());
    EXPECT_TRUE(viewer.entries().empty());
    EXPECT_EQ(timers.size(), 0U);
}

} // namespace
