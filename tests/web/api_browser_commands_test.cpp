// The commands the browser interface adds: "journal" (the newest journal lines) and "dynamograms".

#include "tests/web/api_fixture.h"
#include "tests/support/process.h"
#include "web/journal_tail.h"

#include <gtest/gtest.h>

namespace {

class ApiBrowserCommands : public ApiFixture {
protected:
    void writeJournal(int lines) {
        std::string text;
        for (int i = 1; i <= lines; ++i)
            text += "Dec 08 02:22:05 line " + std::to_string(i) + "\n";
        writeFile(board.path("/var/log/events"), text);
    }
};

TEST_F(ApiBrowserCommands, JournalGivesTheNewestLinesFirstWithinItsBounds) {
    login("viewer", "look");
    writeJournal(3);
    JsonValue answer = call("{\"cmd\":\"journal\"}");
    EXPECT_FALSE(answer.find("error"));
    ASSERT_EQ(answer["journal"].items.size(), 3u);
    EXPECT_EQ(answer["journal"].items[0].text, "Dec 08 02:22:05 line 3");
    EXPECT_EQ(answer["journal"].items[2].text, "Dec 08 02:22:05 line 1");

    writeJournal(800);
    EXPECT_EQ(call("{\"cmd\":\"journal\"}")["journal"].items.size(), kJournalLinesDefault);
    EXPECT_EQ(call("{\"cmd\":\"journal\",\"lines\":5000}")["journal"].items.size(), kJournalLinesMax);
    JsonValue two = call("{\"cmd\":\"journal\",\"lines\":2}");
    ASSERT_EQ(two["journal"].items.size(), 2u);
    EXPECT_EQ(two["journal"].items[1].text, "Dec 08 02:22:05 line 799");
}

TEST_F(ApiBrowserCommands, JournalReadsOnlyTheTailOfALargeFileAndDropsItsCutLine) {
    login("viewer", "look");
    std::string longLine(1000, 'x');
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += longLine + std::to_string(i) + "\n";
    writeFile(board.path("/var/log/events"), text);
    std::vector<std::string> lines = journalTail(kJournalLinesMax);
    ASSERT_FALSE(lines.empty());
    EXPECT_LT(lines.size(), 300u);
    EXPECT_EQ(lines.front(), longLine + "299");
    // Every line given is whole: the 1000 marks and its number.
    for (const std::string& line : lines) {
        EXPECT_GT(line.size(), longLine.size()) << "a partial line was given";
        EXPECT_EQ(line.compare(0, longLine.size(), longLine), 0);
    }
}

TEST_F(ApiBrowserCommands, WithoutAJournalTheListIsEmpty) {
    login("viewer", "look");
    unlink(board.path("/var/log/events").c_str());
    JsonValue answer = call("{\"cmd\":\"journal\"}");
    EXPECT_FALSE(answer.find("error"));
    EXPECT_EQ(answer["journal"].type, kJsonArray);
    EXPECT_TRUE(answer["journal"].items.empty());
}

TEST_F(ApiBrowserCommands, DynamogramsComeFromTheDriveForAReadOnlyUserToo) {
    login("viewer", "look");
    JsonValue answer = call("{\"cmd\":\"dynamograms\"}");
    EXPECT_FALSE(answer.find("error"));
    ASSERT_EQ(answer["dynamograms"].items.size(), 1u);
    EXPECT_EQ(answer["dynamograms"].items[0]["periodMs"].number, 6000);

    api->setDriveAccess(nullptr);
    EXPECT_EQ(error(call("{\"cmd\":\"dynamograms\"}")), "Unknown command");
}

TEST_F(ApiBrowserCommands, BothNeedALogin) {
    EXPECT_EQ(error(call("{\"cmd\":\"journal\"}")), "not logged in");
    EXPECT_EQ(error(call("{\"cmd\":\"dynamograms\"}")), "not logged in");
}

} // namespace

namespace {

// The settings page's catalogue lists exactly the settings "parameters" gives, each once.
TEST_F(ApiBrowserCommands, TheGeneratedSettingsCatalogueMatchesTheParametersCommand) {
    Process generator({VELKORD_CATALOGUE_JSON_PATH}, board.path("/tmp/settings.json"));
    ASSERT_EQ(generator.wait(10000), 0);
    JsonValue catalogue;
    ASSERT_TRUE(parseJson(readFile(board.path("/tmp/settings.json")), catalogue));
    std::map<std::string, int> listed;
    for (const JsonValue& group : catalogue["groups"].items) {
        EXPECT_FALSE(group.find("title")->text.empty());
        for (const JsonValue& setting : group.find("settings")->items) {
            ++listed[setting.find("name")->text];
            EXPECT_FALSE(setting.find("label")->text.empty()) << setting.find("name")->text;
        }
    }
    login("viewer", "look");
    JsonValue parameters = call("{\"cmd\":\"parameters\"}")["parameters"];
    EXPECT_EQ(listed.size(), parameters.members.size());
    for (const auto& member : parameters.members)
        EXPECT_EQ(listed[member.first], 1) << member.first;
}

} // namespace
