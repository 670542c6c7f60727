#include "tests/support/test_board.h"
#include "web/user_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

const char kUsersPath[] = "/usr/share/velkord/users.txt";

class UsersFile : public ::testing::Test {
protected:
    void SetUp() override { mkdir(board.path("/usr/share/velkord").c_str(), 0755); }
    void write(const std::string& content) { writeFile(board.path(kUsersPath), content); }

    TestBoard board;
    UserList users;
};

} // namespace

TEST_F(UsersFile, MalformedLinesAreLoggedWithTheirNumbersAndSkipped) {
    write("nocolon\n"
          "a:b\n"
          "bad:pw:7x:c\n"
          "zero:pw::c\n"
          "long:pw:1:c:d\n"
          "spaced:pw: 3:x\n");
    users.load();
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "invalid line").size(), 3u);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "userList:").size(), 3u);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "invalid line 1").size(), 1u);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "invalid line 2").size(), 1u);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "invalid line 3").size(), 1u);
    ASSERT_EQ(users.users().size(), 3u);
    UserRecord record;
    ASSERT_TRUE(users.find("zero", record));
    EXPECT_EQ(record.password, "pw");
    EXPECT_EQ(record.permissions, 0u);
    EXPECT_EQ(record.comment, "c");
    ASSERT_TRUE(users.find("long", record));
    EXPECT_EQ(record.permissions, 1u);
    EXPECT_EQ(record.comment, "c:d");
    ASSERT_TRUE(users.find("spaced", record));
    EXPECT_EQ(record.permissions, 3u);
    EXPECT_FALSE(users.find("bad", record));
}

TEST_F(UsersFile, TheLaterLineOfANameWinsAndSavingWritesOneLineInNameOrder) {
    write("b:old:0:first\nb:new:1:second\na:pw:0:\n");
    users.load();
    UserRecord record;
    ASSERT_TRUE(users.find("b", record));
    EXPECT_EQ(record.password, "new");
    ASSERT_TRUE(users.setPassword("a", "changed"));
    EXPECT_FALSE(users.setPassword("nobody", "x"));
    ASSERT_TRUE(users.save());
    EXPECT_EQ(readFile(board.path(kUsersPath)), "a:changed:0:\nb:new:1:second\n");
    EXPECT_FALSE(fileExists(board.path(std::string(kUsersPath) + ".tmp")));
}

TEST_F(UsersFile, AMissingFileLeavesTheTableAndAFailedSaveLeavesTheFile) {
    users.load();
    EXPECT_TRUE(users.users().empty());
    EXPECT_TRUE(board.logLines().empty());
    write("a:pw:1:\n");
    users.load();
    users.setPassword("a", "new");
    // The temporary name is taken by a directory: the file keeps the old password.
    mkdir(board.path(std::string(kUsersPath) + ".tmp").c_str(), 0755);
    EXPECT_FALSE(users.save());
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "cannot open /usr/share/velkord/users.txt").size(), 1u);
    EXPECT_EQ(readFile(board.path(kUsersPath)), "a:pw:1:\n");
}

TEST_F(UsersFile, FieldsHoldingNulBytesAreSavedWhole) {
    // Saving another user's change must not cut a password at a NUL byte and so change it.
    std::string password("se\0cret", 7);
    std::string comment("a\0b", 3);
    write("admin:" + password + ":1:" + comment + "\n");
    users.load();
    ASSERT_TRUE(users.save());
    UserList again;
    again.load();
    UserRecord record;
    ASSERT_TRUE(again.find("admin", record));
    EXPECT_EQ(record.password, password);
    EXPECT_EQ(record.comment, comment);
    EXPECT_EQ(readFile(board.path(kUsersPath)), "admin:" + password + ":1:" + comment + "\n");
}

TEST(DefaultUsersFile, HoldsOneFullAndOneReadOnlyUser) {
    TestBoard board;
    mkdir(board.path("/usr/share/velkord").c_str(), 0755);
    writeFile(board.path(kUsersPath), readFile(std::string(VELKORD_SOURCE_DIR) + "/data/users.txt"));
    UserList users;
    users.load();
    EXPECT_TRUE(board.logLines().empty());
    int full = 0;
    int readOnly = 0;
    for (const auto& [name, record] : users.users())
        (record.permissions & kPermissionControl ? full : readOnly)++;
    EXPECT_EQ(full, 1);
    EXPECT_EQ(readOnly, 1);
}
