// The simulator's SCADA line: what the slave sends comes back to it and reaches the master, what the
// master sends reaches the slave; the slave's side is the sandbox's "/dev/ttyS1" as the daemon opens it.

#include "core/epoller.h"
#include "platform/unique_fd.h"
#include "sim/echoing_line.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

namespace {

class EchoingLineTest : public ::testing::Test {
protected:
    EchoingLineTest() {
        EXPECT_TRUE(EPoller::init());
        line = std::make_unique<EchoingLine>(board.platform().serialLine("/dev/ttyS1")->farEnd(),
                                             EchoingLine::kMasterPath, board.platform().root());
        slave = openRaw(board.path("/dev/ttyS1"));
        master = openRaw(board.path(EchoingLine::kMasterPath));
    }
    ~EchoingLineTest() override {
        line.reset();
        EPoller::shutdown();
    }

    static platform::UniqueFd openRaw(const std::string& path) {
        platform::UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        termios settings{};
        EXPECT_EQ(::tcgetattr(fd.get(), &settings), 0);
        ::cfmakeraw(&settings);
        EXPECT_EQ(::tcsetattr(fd.get(), TCSANOW, &settings), 0);
        return fd;
    }
    static bool send(int fd, const std::string& text) {
        return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    // What arrives on fd while the loop turns, until `count` bytes are there or a second passes.
    static std::string receive(int fd, size_t count) {
        std::string received;
        pumpUntil(
            [&] {
                char chunk[256];
                ssize_t n = ::read(fd, chunk, sizeof chunk);
                if (n > 0)
                    received.append(chunk, static_cast<size_t>(n));
                return received.size() >= count;
            },
            1000);
        return received;
    }

    TestBoard board;
    std::unique_ptr<EchoingLine> line;
    platform::UniqueFd slave;
    platform::UniqueFd master;
};

TEST_F(EchoingLineTest, TheSlaveHearsItsOwnTransmissionAndTheMasterReceivesIt) {
    ASSERT_TRUE(send(slave.get(), "answer"));
    EXPECT_EQ(receive(master.get(), 6), "answer");
    EXPECT_EQ(receive(slave.get(), 6), "answer");
    EXPECT_EQ(line->bytesFromSlave(), 6u);
}

TEST_F(EchoingLineTest, TheMasterIsHeardByTheSlaveOnlyAndWithoutEcho) {
    ASSERT_TRUE(send(master.get(), "request"));
    EXPECT_EQ(receive(slave.get(), 7), "request");
    EXPECT_EQ(receive(master.get(), 1), ""); // the master's own transceiver is not simulated
    EXPECT_EQ(line->bytesFromMaster(), 7u);
}

} // namespace
