// The field I/O engines inside the running daemon: the drive bus on its pty, the chain on the SPI.

#include "core/registry.h"
#include "core/timer_queue.h"
#include "daemon/velkord.h"
#include "drive/discrete_io.h"
#include "fieldbus/smbus.h"
#include "tests/support/serial_peer.h"
#include "tests/support/test_board.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <termios.h>

namespace {

TEST(DaemonFieldIO, DriveBusAndDiscreteIORunInTheLoopAndGoAtShutdown) {
    TestBoard board;
    board.platform().simSpi().fixedInputs().setInput(14, true);
    bool busOpen = false;
    bool queued = false;
    int timeouts = -1;
    uint64_t inputs = 0;
    board.platform().onStarted = [&] {
        busOpen = gDriveBus && gDriveBus->isOpen();
        static const uint8_t readTwo[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x02};
        queued = gDriveBus->request(readTwo, sizeof readTwo, nullptr, nullptr);
        gTimers->add("test-stop", 1000, [&] {
            timeouts = static_cast<int>(gDriveBus->statistics().total(BusCounter::kTimeout));
            inputs = gDiscreteIO->inputs();
            gTimers->quit = true;
        });
    };

    EXPECT_EQ(runDaemon(board.platform()), 0);

    EXPECT_TRUE(busOpen);
    EXPECT_TRUE(queued);
    EXPECT_GE(timeouts, 1); // nobody answered at the far end, neither the test nor the drives' polls
    EXPECT_EQ(inputs, uint64_t{1} << 14);
    EXPECT_EQ(gDriveBus, nullptr);
    EXPECT_EQ(gDiscreteIO, nullptr);
    SerialPeer drive(board.platform().serialLine("/dev/ttyS2")->farEnd());
    // Between the controller's polls of both drives, the test's request went out too.
    std::vector<uint8_t> sent = drive.receive();
    const std::vector<uint8_t> request = {0x01, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC4, 0x0B};
    EXPECT_NE(std::search(sent.begin(), sent.end(), request.begin(), request.end()), sent.end());
    termios settings{};
    ASSERT_EQ(::tcgetattr(board.platform().serialLine("/dev/ttyS2")->farEnd(), &settings), 0);
    EXPECT_EQ(::cfgetospeed(&settings), static_cast<speed_t>(B9600));
    EXPECT_EQ(settings.c_cflag & (CSIZE | CSTOPB | PARENB), static_cast<tcflag_t>(CS8 | CSTOPB));
    EXPECT_GT(board.platform().simSpi().chainTransfers(), 80u);
    EXPECT_EQ(readFile(board.path("/sys/class/gpio/pioA13/value")), "255\n");
}

} // namespace
