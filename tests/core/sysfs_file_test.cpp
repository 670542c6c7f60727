// Values written to GPIO attribute files: once by path, or through a file held open for the run.

#include "core/sysfs_file.h"
#include "tests/support/test_board.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

TEST(SysfsValueFile, EveryWriteReplacesTheValueAndAMissingFileIsReportedOnce) {
    TestBoard board;
    SysfsValueFile line;
    ASSERT_EQ(line.open("/sys/class/gpio/pioA16/value"), 0);
    line.write("255\n");
    EXPECT_EQ(readFile(board.path("/sys/class/gpio/pioA16/value")), "255\n");
    line.write("0\n");
    EXPECT_EQ(readFile(board.path("/sys/class/gpio/pioA16/value")), "0\n");

    SysfsValueFile missing;
    EXPECT_EQ(missing.open("/sys/class/gpio/pioX99/value"), ENOENT);
    EXPECT_FALSE(missing.isOpen());
    missing.write("255\n"); // nothing happens
    EXPECT_FALSE(fileExists(board.path("/sys/class/gpio/pioX99/value")));
}

TEST(SysfsFile, AWriteByPathTruncatesTheValue) {
    TestBoard board;
    EXPECT_EQ(writeSysfsFile("/sys/class/gpio/pioA17/value", "255\n"), 0);
    EXPECT_EQ(writeSysfsFile("/sys/class/gpio/pioA17/value", "0\n"), 0);
    EXPECT_EQ(readFile(board.path("/sys/class/gpio/pioA17/value")), "0\n");
}

} // namespace
