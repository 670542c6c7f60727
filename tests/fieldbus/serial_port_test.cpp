// Line settings and opening of the Modbus serial ports, on the simulated board's ptys.

#include "fieldbus/serial_port.h"
#include "tests/support/test_board.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <termios.h>

namespace {

class SerialPortTest : public ::testing::Test {
protected:
    SerialPortTest() { port.setDevice("/dev/ttyS2"); }

    // The settings as the far end sees them: termios of a pty master are those of its slave side.
    termios lineSettings() {
        termios settings{};
        EXPECT_EQ(::tcgetattr(board.platform().serialLine("/dev/ttyS2")->farEnd(), &settings), 0);
        return settings;
    }

    TestBoard board;
    SerialPort port;
};

TEST_F(SerialPortTest, DriveBusSettingsAreRawEightDataBitsTwoStopBitsNoParity) {
    port.setBaudrate(19200);
    port.setDataBits(8);
    port.setStopBits(2);
    ASSERT_TRUE(port.open());

    termios settings = lineSettings();
    EXPECT_EQ(::cfgetospeed(&settings), static_cast<speed_t>(B19200));
    EXPECT_EQ(::cfgetispeed(&settings), static_cast<speed_t>(B19200));
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(settings.c_cflag & CSTOPB);
    EXPECT_FALSE(settings.c_cflag & PARENB);
    EXPECT_FALSE(settings.c_cflag & CRTSCTS);
    EXPECT_TRUE(settings.c_cflag & CREAD);
    EXPECT_TRUE(settings.c_cflag & CLOCAL);
    EXPECT_FALSE(settings.c_lflag & (ICANON | ECHO));
    EXPECT_EQ(settings.c_cc[VMIN], 1);
    EXPECT_EQ(settings.c_cc[VTIME], 10);
    EXPECT_EQ(board.platform().simRs485().lastRtsDelayMs(), 10u);
}

// A pty keeps the speed and the stop bits but always carries 8 data bits without parity, so the
// character format is checked on the settings the port makes.
TEST_F(SerialPortTest, DefaultsAreSevenDataBitsOneStopBitAndOddParityDoesNotOutliveItsSetting) {
    termios settings{};
    settings.c_cflag = CS8 | CSTOPB | PARENB | PARODD | CRTSCTS;
    settings.c_lflag = ICANON | ECHO;
    port.fillLineSettings(settings);
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_EQ(settings.c_cflag & (CSTOPB | PARENB | PARODD | CRTSCTS), 0u);
    EXPECT_FALSE(settings.c_lflag & (ICANON | ECHO));

    port.setParity(true, true);
    port.setDataBits(5);
    port.fillLineSettings(settings);
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS5));
    EXPECT_EQ(settings.c_cflag & (PARENB | PARODD), static_cast<tcflag_t>(PARENB | PARODD));

    port.setParity(true, false);
    port.setDataBits(6);
    port.fillLineSettings(settings);
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS6));
    EXPECT_EQ(settings.c_cflag & (PARENB | PARODD), static_cast<tcflag_t>(PARENB));
}

TEST_F(SerialPortTest, UnknownSpeedsBecome9600AndAnOpenPortTakesANewSpeedAtOnce) {
    port.setDataBits(8);
    port.setBaudrate(250);
    EXPECT_EQ(port.baudrate(), 9600);
    EXPECT_EQ(port.speedCode(), static_cast<speed_t>(B9600));
    port.setBaudrate(1800);
    EXPECT_EQ(port.speedCode(), static_cast<speed_t>(B1800));

    ASSERT_TRUE(port.open());
    port.setBaudrate(115200);
    termios settings = lineSettings();
    EXPECT_EQ(::cfgetospeed(&settings), static_cast<speed_t>(B115200));
    EXPECT_TRUE(board.logLinesWith(LOG_ERR, "cannot set requested parameters").empty());
}

TEST_F(SerialPortTest, OpenFailuresAreLoggedAndLeaveThePortClosed) {
    port.setDevice("/dev/ttyS7");
    EXPECT_FALSE(port.open());
    EXPECT_EQ(
        board.logLinesWith(LOG_ERR, "cannot open serial device /dev/ttyS7: No such file or directory").size(),
        1u);

    writeFile(board.path("/dev/ttyS7"), "");
    EXPECT_FALSE(port.open());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(
        board.logLinesWith(LOG_ERR, "/dev/ttyS7: cannot get tty parameters: Inappropriate ioctl").size(), 1u);

    port.setDevice("/dev/ttyS2");
    port.setDataBits(8); // all a pty carries
    board.platform().simRs485().setResult({platform::Rs485Result::kGetFailed, EINVAL});
    EXPECT_FALSE(port.open());
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "/dev/ttyS2: cannot get RS485 config: Invalid argument").size(),
              1u);
    board.platform().simRs485().setResult({platform::Rs485Result::kSetFailed, EPERM});
    EXPECT_FALSE(port.open());
    EXPECT_EQ(
        board.logLinesWith(LOG_ERR, "/dev/ttyS2: cannot set RS485 config: Operation not permitted").size(),
        1u);
    EXPECT_FALSE(port.isOpen());
    for (const LogLine& line : board.logLines())
        EXPECT_EQ(line.text.rfind("smbus:", 0), 0u) << line.text;
}

} // namespace
