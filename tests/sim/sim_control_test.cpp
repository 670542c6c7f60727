#include "core/epoller.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "sim/control_server.h"
#include "sim/panel_keys.h"
#include "tests/support/test_board.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

class ControlServerTest : public ::testing::Test {
protected:
    ControlServerTest() {
        EPoller::init();
        std::string error;
        path = board.path("/sim.sock");
        EXPECT_TRUE(server.listen(path, error)) << error;
        server.addCommand("echo", [](const std::vector<std::string>& words) {
            std::string answer = "ok";
            for (const std::string& word : words)
                answer += " " + word;
            return answer;
        });
    }
    ~ControlServerTest() override { EPoller::shutdown(); }

    int connectClient() {
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
        return fd;
    }
    // Runs the event loop until `lines` answer lines arrived or a second passed.
    std::string exchange(int fd, const std::string& request, int lines) {
        EXPECT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
        std::string answer;
        for (int pass = 0; pass < 100 && std::count(answer.begin(), answer.end(), '\n') < lines; ++pass) {
            EPoller::dispatch(10);
            char buffer[256];
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                answer.append(buffer, static_cast<size_t>(n));
        }
        return answer;
    }

    TestBoard board;
    std::string path;
    ControlServer server;
};

TEST_F(ControlServerTest, AnswersEachCommandLineInOrder) {
    int client = connectClient();
    EXPECT_EQ(exchange(client, "echo a b\nnothing\n\necho", 3),
              "ok a b\nerror unknown command nothing\nerror empty command\n");
    EXPECT_EQ(exchange(client, " c\n", 1), "ok c\n"); // a command split over two writes
    ::close(client);
}

TEST_F(ControlServerTest, OverlongLineEndsOnlyThatConnection) {
    int flooder = connectClient();
    std::string flood(5000, 'x');
    ASSERT_EQ(::write(flooder, flood.data(), flood.size()), 5000);
    ssize_t got = -1;
    for (int pass = 0; pass < 100 && got != 0; ++pass) {
        EPoller::dispatch(10);
        char byte;
        got = ::read(flooder, &byte, 1);
    }
    EXPECT_EQ(got, 0); // closed by the server
    int client = connectClient();
    EXPECT_EQ(exchange(client, "echo still\n", 1), "ok still\n");
    ::close(flooder);
    ::close(client);
}

TEST_F(ControlServerTest, AClientThatDoesNotReadIsNotServedWithoutBound) {
    size_t executed = 0;
    std::string bulky(1000, 'y');
    server.addCommand("bulky", [&](const std::vector<std::string>&) {
        ++executed;
        return "ok " + bulky;
    });
    int greedy = connectClient();
    std::string request;
    for (int i = 0; i < 100; ++i)
        request += "bulky\n";
    // Commands keep coming while nothing is read; the socket buffers fill up on both sides.
    for (int round = 0; round < 2000; ++round) {
        if (::write(greedy, request.data(), request.size()) < 0 && errno != EAGAIN)
            break;
        EPoller::dispatch(0);
    }
    size_t before = executed;
    for (int pass = 0; pass < 200; ++pass)
        EPoller::dispatch(0);
    EXPECT_EQ(executed, before);       // it stopped taking commands
    EXPECT_LT(executed, 2000u * 100u); // long before all of them
    int client = connectClient();
    EXPECT_EQ(exchange(client, "echo others\n", 1), "ok others\n");
    ::close(greedy);
    ::close(client);
}

TEST(PanelKeys, HeldAndTappedKeysOverlayTheOtherInputs) {
    TestBoard board;
    TimerQueue timers;
    gTimers = &timers;
    platform::FixedSpiInputs inputs;
    inputs.setInputBits((uint64_t{1} << 2) | (uint64_t{1} << 35)); // a sensor, and a stray key bit
    inputs.setAdcCount(4, 1234);
    PanelKeys keys(inputs);

    EXPECT_EQ(keys.inputBits(), uint64_t{1} << 2); // keys come from the keypad only
    EXPECT_EQ(keys.adcCount(4), 1234);
    keys.press(PanelKeys::keyCode("enter"));
    EXPECT_EQ(keys.inputBits(), (uint64_t{1} << 2) | (uint64_t{1} << 37));
    keys.release(37);
    keys.tap(PanelKeys::keyCode("33"));
    EXPECT_TRUE(keys.inputBits() & (uint64_t{1} << 33));
    board.clock().advanceMs(PanelKeys::kTapMs);
    timers.runDue();
    EXPECT_TRUE(keys.inputBits() & (uint64_t{1} << 33));
    board.clock().advanceMs(1);
    timers.runDue();
    EXPECT_FALSE(keys.inputBits() & (uint64_t{1} << 33));
    EXPECT_EQ(PanelKeys::keyCode("39"), 0);
    EXPECT_EQ(PanelKeys::keyCode("menu"), 0);
    EXPECT_EQ(PanelKeys::keyCode(""), 0);
    gTimers = nullptr;
}

} // namespace
