#include "core/journal.h"
#include "tests/support/test_board.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// 2026-03-05 14:07:09 UTC
constexpr time_t kMarch5 = 1772719629;

class JournalTest : public ::testing::Test {
protected:
    JournalTest() {
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    ~JournalTest() override {
        setJournalParameterLine(nullptr);
        journalClose();
    }

    std::string journal() { return readFile(board.path("/var/log/events")); }
    std::string history(int index) {
        return readFile(board.path("/var/log/events." + std::to_string(index)));
    }
    bool historyExists(int index) {
        return fileExists(board.path("/var/log/events." + std::to_string(index)));
    }

    TestBoard board{1000000};
};

TEST(JournalFormat, EntryIsStampedInLocalTimeAndAlsoSentToSyslog) {
    setenv("TZ", "UTC0", 1);
    tzset();
    TempDir sandbox;
    ASSERT_EQ(::mkdir((sandbox.path() + "/var").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((sandbox.path() + "/var/log").c_str(), 0755), 0);
    platform::SimPlatform board(sandbox.path(), std::make_unique<platform::VirtualClock>(5000, kMarch5));
    platform::PlatformScope scope(board);
    std::vector<LogLine> logged;
    board.setLogObserver([&](int priority, const std::string& text) { logged.push_back({priority, text}); });

    journalPrintf(6, "velkord started");
    journalPrintf(3, "Авария %d", 12);
    journalClose();

    EXPECT_EQ(readFile(sandbox.path() + "/var/log/events"),
              "Mar 05 14:07:09 velkord started\nMar 05 14:07:09 Авария 12\n");
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[1].priority, 3);
    EXPECT_EQ(logged[1].text, "Авария 12");

    setenv("TZ", "MSK-3", 1);
    tzset();
    journalPrintf(6, "later");
    journalClose();
    EXPECT_NE(readFile(sandbox.path() + "/var/log/events").find("Mar 05 17:07:09 later\n"),
              std::string::npos);
    board.setLogObserver(nullptr);
}

TEST_F(JournalTest, DebugEntryGoesNowhere) {
    journalPrintf(7, "debug detail");
    EXPECT_FALSE(fileExists(board.path("/var/log/events")));
    EXPECT_TRUE(board.logLines().empty());
}

TEST_F(JournalTest, ParameterLineFollowsItsEventWithTheSameStamp) {
    setJournalParameterLine([] { return std::string("P=н/д G=н/д"); });
    journalPrintf(6, "event");
    setJournalParameterLine([] { return std::string(); });
    journalPrintf(6, "plain");

    std::string text = journal();
    ASSERT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    std::string stamp = text.substr(0, 16);
    EXPECT_EQ(text, stamp + "event\n" + stamp + "P=н/д G=н/д\n" + stamp + "plain\n");
}

TEST_F(JournalTest, RotatesOnlyOnceTheFileIsPastOneMebibyte) {
    const std::string entry = "x"; // 16-byte stamp + "x\n"
    const size_t entrySize = 16 + entry.size() + 1;
    writeFile(board.path("/var/log/events"), std::string(kJournalRotateBytes - entrySize, 'a'));

    journalPrintf(6, "%s", entry.c_str());
    EXPECT_EQ(journal().size(), static_cast<size_t>(kJournalRotateBytes));
    EXPECT_FALSE(historyExists(0));

    journalPrintf(6, "%s", entry.c_str());
    EXPECT_FALSE(fileExists(board.path("/var/log/events")));
    ASSERT_TRUE(historyExists(0));
    EXPECT_EQ(history(0).size(),
              kJournalRotateBytes + entrySize); // the entry that passed the limit is its last

    journalPrintf(6, "fresh");
    EXPECT_EQ(journal().substr(16), "fresh\n");
}

TEST_F(JournalTest, RotationShiftsAllTwentyHistoryFilesAndDropsTheOldest) {
    for (int i = 0; i < kJournalHistoryFiles; ++i)
        writeFile(board.path("/var/log/events." + std::to_string(i)), "history " + std::to_string(i));
    writeFile(board.path("/var/log/events"), std::string(kJournalRotateBytes, 'c'));

    journalPrintf(6, "last");

    EXPECT_EQ(history(0).substr(0, 3), "ccc");
    for (int i = 1; i < kJournalHistoryFiles; ++i)
        EXPECT_EQ(history(i), "history " + std::to_string(i - 1)) << i;
    EXPECT_FALSE(historyExists(kJournalHistoryFiles));
}

TEST_F(JournalTest, DeletedJournalIsRecreatedByTheNextEntry) {
    journalPrintf(6, "first");
    ASSERT_EQ(::unlink(board.path("/var/log/events").c_str()), 0);
    journalPrintf(6, "second");
    EXPECT_EQ(journal().substr(16), "second\n");
}

TEST_F(JournalTest, UnwritableJournalLosesOnlyTheFileCopy) {
    ASSERT_EQ(::mkdir(board.path("/var/log/events").c_str(), 0755),
              0); // a directory cannot be opened for writing
    journalPrintf(6, "kept in syslog");
    EXPECT_EQ(board.logLinesWith(6, "kept in syslog").size(), 1u);
    ASSERT_EQ(::rmdir(board.path("/var/log/events").c_str()), 0);
    journalPrintf(6, "back");
    EXPECT_EQ(journal().substr(16), "back\n");
}

} // namespace
