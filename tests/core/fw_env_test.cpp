#include "core/crc32.h"
#include "core/fw_env.h"
#include "sim/boot_env_image.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

std::string valueOf(const char* name) {
    const char* value = fw_getenv(name);
    return value ? value : "<none>";
}

std::string corrupted(std::string image) {
    image[kFwEnvDataOffset + 100] ^= 0x01;
    return image;
}

class FwEnvTest : public ::testing::Test {
protected:
    void writeCopies(const std::string& copy0, const std::string& copy1) {
        writeFile(board.path("/dev/mtd2"), copy0);
        writeFile(board.path("/dev/mtd3"), copy1);
        board.clearLog();
    }
    std::string copy(int index) { return readFile(board.path(index == 0 ? "/dev/mtd2" : "/dev/mtd3")); }

    TestBoard board;
};

TEST(Crc32, IsTheZlibChecksum) {
    const char text[] = "123456789";
    EXPECT_EQ(crc32(reinterpret_cast<const uint8_t*>(text), 9), 0xCBF43926u);
    EXPECT_EQ(crc32(nullptr, 0), 0u);
}

TEST_F(FwEnvTest, TheSandboxHoldsTheSimulatedSerialNumberInBothCopies) {
    EXPECT_EQ(valueOf("serial#"), kSimSerialNumber);
    EXPECT_EQ(valueOf("baudrate"), "115200");
    EXPECT_EQ(copy(0).size(), kFwEnvSize);
    EXPECT_EQ(copy(1).size(), kFwEnvSize);
}

TEST_F(FwEnvTest, TheLaterGenerationWinsWithWrapAroundFrom255To0) {
    struct Case {
        int flag0, flag1;
        const char* expected;
    };
    const Case cases[] = {
        {1, 0, "copy0"}, {1, 1, "copy1"}, {1, 2, "copy1"},     {255, 0, "copy1"},   {0, 255, "copy0"},
        {0, 0, "copy1"}, {0, 1, "copy1"}, {254, 255, "copy1"}, {255, 254, "copy0"}, {9, 3, "copy0"},
    };
    for (const Case& c : cases) {
        writeCopies(makeBootEnvironment({"serial#=copy0"}, static_cast<uint8_t>(c.flag0)),
                    makeBootEnvironment({"serial#=copy1"}, static_cast<uint8_t>(c.flag1)));
        EXPECT_EQ(valueOf("serial#"), c.expected) << c.flag0 << " vs " << c.flag1;
    }
    EXPECT_TRUE(board.logLinesWith(LOG_ERR, "fw_env").empty());
}

TEST_F(FwEnvTest, ACopyWithABadCrcIsPassedOverWhateverItsGeneration) {
    writeCopies(corrupted(makeBootEnvironment({"serial#=copy0"}, 0)),
                makeBootEnvironment({"serial#=copy1"}, 255));
    EXPECT_EQ(valueOf("serial#"), "copy1");
    writeCopies(makeBootEnvironment({"serial#=copy0"}, 0),
                corrupted(makeBootEnvironment({"serial#=copy1"}, 1)));
    EXPECT_EQ(valueOf("serial#"), "copy0");
    EXPECT_TRUE(board.logLinesWith(LOG_ERR, "Bad CRC").empty());
}

TEST_F(FwEnvTest, BothCopiesBadGiveAnEmptyEnvironmentAndOneWarningPerLoad) {
    writeCopies(corrupted(makeBootEnvironment({"serial#=copy0"}, 1)),
                corrupted(makeBootEnvironment({"serial#=copy1"}, 0)));
    EXPECT_EQ(fw_getenv("serial#"), nullptr);
    EXPECT_EQ(fw_getenv("bootdelay"), nullptr);
    EXPECT_EQ(fw_renameenv("serial#", "serial"), -1);

    std::vector<std::string> warnings =
        board.logLinesWith(LOG_ERR, "Warning: Bad CRC, using default environment");
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_EQ(warnings[0].rfind("fw_env:", 0), 0u) << warnings[0];
}

TEST_F(FwEnvTest, NamesMatchExactlyNeverAsAPrefix) {
    writeCopies(makeBootEnvironment({"serialno=1", "serial#=S-77", "ethaddr=00:11", "empty="}, 1),
                makeBootEnvironment({}, 0));
    EXPECT_EQ(valueOf("serial"), "<none>");
    EXPECT_EQ(valueOf("serial#"), "S-77");
    EXPECT_EQ(valueOf("serial#x"), "<none>");
    EXPECT_EQ(valueOf("ethaddr"), "00:11");
    EXPECT_EQ(valueOf("empty"), "");
    EXPECT_EQ(valueOf("ser"), "<none>");
}

TEST_F(FwEnvTest, AnEmptyEnvironmentHasNoVariables) {
    writeCopies(makeBootEnvironment({}, 1), makeBootEnvironment({}, 0));
    EXPECT_EQ(fw_getenv("serial#"), nullptr);
    EXPECT_EQ(fw_renameenv("serial#", "x"), -1);
    EXPECT_TRUE(board.logLines().empty());
}

TEST_F(FwEnvTest, RenameKeepsTheLengthWritesTheOtherCopyAndIsReadBackFromIt) {
    std::string copy0 = makeBootEnvironment({"bootdelay=3", "#serial=X-1234", "baudrate=115200"}, 5);
    writeCopies(copy0, makeBootEnvironment({"serial#=stale"}, 4));

    EXPECT_EQ(fw_renameenv("#serial", "serial#"), 0);

    EXPECT_EQ(copy(0), copy0); // the older copy stays as the fallback
    EXPECT_EQ(copy(1), makeBootEnvironment({"bootdelay=3", "serial#=X-1234", "baudrate=115200"}, 6));
    EXPECT_EQ(valueOf("serial#"), "X-1234");
    EXPECT_EQ(valueOf("#serial"), "<none>");
    EXPECT_EQ(valueOf("baudrate"), "115200");
    EXPECT_TRUE(board.logLines().empty());
}

TEST_F(FwEnvTest, RenameToALongerOrShorterNameMovesTheRestOfTheList) {
    writeCopies(makeBootEnvironment({"a=1", "bb=2", "c=3"}, 0),
                makeBootEnvironment({"a=1", "bb=2", "c=3"}, 0));

    EXPECT_EQ(fw_renameenv("bb", "dddd"), 0);
    EXPECT_EQ(copy(0), makeBootEnvironment({"a=1", "dddd=2", "c=3"}, 1));
    EXPECT_EQ(fw_renameenv("dddd", "e"), 0);
    EXPECT_EQ(copy(1), makeBootEnvironment({"a=1", "e=2", "c=3"}, 2));
    EXPECT_EQ(valueOf("e"), "2");
    EXPECT_EQ(valueOf("c"), "3");
    EXPECT_EQ(fw_renameenv("missing", "x"), -1);
}

TEST_F(FwEnvTest, RenameThatWouldNotFitIsRefusedAndNothingIsWritten) {
    // One entry filling the area up to its last two bytes (its own zero and the closing zero).
    std::string full = "x=" + std::string(kFwEnvDataSize - 4, 'v');
    writeCopies(makeBootEnvironment({full}, 1), makeBootEnvironment({}, 0));
    std::string before = copy(1);

    EXPECT_EQ(fw_renameenv("x", "xy"), -1);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "## Error: environment overflow").size(), 1u);
    EXPECT_EQ(copy(1), before);
    EXPECT_EQ(fw_renameenv("x", "y"), 0); // the same length still fits
    EXPECT_EQ(fw_getenv("y") ? strlen(fw_getenv("y")) : 0u, kFwEnvDataSize - 4);
}

TEST_F(FwEnvTest, AnEntryWithoutItsZeroIsReportedAndFindsNothing) {
    std::string image = makeBootEnvironment({"a=1"}, 1);
    std::fill(image.begin() + kFwEnvDataOffset + 4, image.end(), 'z'); // no zero after "a=1"
    uint32_t crc = crc32(reinterpret_cast<const uint8_t*>(image.data()) + kFwEnvDataOffset, kFwEnvDataSize);
    for (int i = 0; i < 4; ++i)
        image[static_cast<size_t>(i)] = static_cast<char>(crc >> (8 * i));
    writeCopies(image, makeBootEnvironment({}, 0));

    EXPECT_EQ(valueOf("b"), "<none>");
    EXPECT_EQ(valueOf("a"), "1"); // found before the unterminated part is reached
    EXPECT_EQ(fw_renameenv("a", "b"), -1);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "## Error: environment not terminated").size(), 2u);
}

TEST_F(FwEnvTest, AMissingOrShortDeviceFailsTheLoad) {
    ASSERT_EQ(::truncate(board.path("/dev/mtd2").c_str(), 100), 0);
    EXPECT_EQ(fw_getenv("serial#"), nullptr);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "Read error on /dev/mtd2: Input/output error").size(), 1u);

    ASSERT_EQ(::unlink(board.path("/dev/mtd3").c_str()), 0);
    EXPECT_EQ(fw_getenv("serial#"), nullptr);
    EXPECT_EQ(fw_renameenv("serial#", "s"), -1);
    EXPECT_EQ(
        board.logLinesWith(LOG_ERR, "Cannot access MTD device /dev/mtd3: No such file or directory").size(),
        2u);
}

TEST_F(FwEnvTest, AFailedFlashWriteIsLoggedButRenameStillReportsSuccess) {
    writeCopies(makeBootEnvironment({"#serial=X"}, 3), makeBootEnvironment({}, 0));
    // The target copy is a device that takes no data: erasing and writing it fail.
    ASSERT_EQ(::unlink(board.path("/dev/mtd3").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/full", board.path("/dev/mtd3").c_str()), 0);

    EXPECT_EQ(fw_renameenv("#serial", "serial#"), 0);

    EXPECT_EQ(board.logLinesWith(LOG_ERR, "erase error on /dev/mtd3: No space left on device").size(), 1u);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "Write error on /dev/mtd3: No space left on device").size(), 1u);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "## Error: can't write fw_env to flash").size(), 1u);
    EXPECT_EQ(valueOf("#serial"), "X");
}

} // namespace
