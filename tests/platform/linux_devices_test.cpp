// The board's implementations where this machine can run them: their failures come back as errno.

#include "platform/linux_rs485.h"
#include "platform/linux_spi.h"
#include "tests/support/test_board.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/spi/spidev.h>

namespace {

// The transfer request encodes the size of its record: the same on the 32-bit board as here.
static_assert(sizeof(spi_ioc_transfer) == 32, "spi_ioc_transfer has the kernel's layout");

// qemu-user does not pass the SPI transfer request on to the kernel and answers ENOSYS itself; the
// native run of the same test shows the kernel's ENOTTY coming back.
constexpr bool kUnderEmulator = sizeof(VELKORD_TEST_EMULATOR) > 1;

TEST(LinuxSpi, OpenAndTransferFailuresReturnTheirErrno) {
    TestBoard board; // resolves the board paths in a sandbox
    platform::LinuxSpi spi;
    int error = 0;
    EXPECT_FALSE(spi.open("/dev/spidev32766.9", error));
    EXPECT_EQ(error, ENOENT);

    auto notSpi = spi.open("/dev/spidev32766.0", error); // a plain stand-in file
    ASSERT_TRUE(notSpi);
    uint8_t bytes[5] = {};
    EXPECT_EQ(notSpi->transfer(bytes, bytes, 5), kUnderEmulator ? ENOSYS : ENOTTY);
}

TEST(LinuxRs485, APtyHasNoRs485ModeSoReadingTheConfigurationFails) {
    TestBoard board;
    int fd = ::open(board.path("/dev/ttyS2").c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    platform::Rs485Result result = platform::LinuxRs485().enable(fd, 10);
    EXPECT_EQ(result.step, platform::Rs485Result::kGetFailed);
    EXPECT_NE(result.error, 0);
    ::close(fd);
}

} // namespace
