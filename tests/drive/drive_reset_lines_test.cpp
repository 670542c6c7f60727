// The drives' reset lines on their own: the GPIO value files, the raised callback and the 150 ms pulse.

#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/drive_reset_lines.h"
#include "tests/support/event_pump.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

class DriveResetLinesTest : public ::testing::Test {
protected:
    DriveResetLinesTest() { gTimers = &timers; }
    ~DriveResetLinesTest() override { gTimers = nullptr; }
    std::string line(int unit) {
        return readFile(
            board.path(unit == 1 ? "/sys/class/gpio/pioA16/value" : "/sys/class/gpio/pioA17/value"));
    }

    TestBoard board;
    TimerQueue timers;
    std::vector<int> raised;
    DriveResetLines lines{[this](int unit) { raised.push_back(unit); }};
};

TEST_F(DriveResetLinesTest, ARaisedLineReads255AndIsToldALoweredOneReads0) {
    lines.open();
    lines.write(2, true);
    EXPECT_EQ(line(2), "255\n");
    EXPECT_EQ(raised, std::vector<int>{2});
    lines.write(2, false);
    EXPECT_EQ(line(2), "0\n");
    EXPECT_EQ(raised, std::vector<int>{2});
}

TEST_F(DriveResetLinesTest, BothLinesArePulsedFor150Milliseconds) {
    lines.open();
    lines.pulseBoth();
    EXPECT_EQ(line(1), "255\n");
    EXPECT_EQ(line(2), "255\n");
    runLoopFor(board, 140);
    EXPECT_EQ(line(1), "255\n");
    runLoopFor(board, 20);
    EXPECT_EQ(line(1), "0\n");
    EXPECT_EQ(line(2), "0\n");
    EXPECT_EQ(raised, (std::vector<int>{1, 2}));
}

} // namespace
