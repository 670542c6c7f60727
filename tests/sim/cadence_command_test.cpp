// The control command "cadence": the 10 ms exchange's periods over the frames the chain keeps.

#include "sim/sim_session.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>

namespace {

class CadenceCommand : public ::testing::Test {
protected:
    CadenceCommand() {
        int error = 0;
        chain = board.platform().simSpi().open("/dev/spidev32766.0", error);
    }

    // One exchange, then the clock moves on by `ms`.
    void exchangeThenWait(uint64_t ms) {
        uint8_t out[5] = {};
        uint8_t in[5] = {};
        ASSERT_EQ(chain->transfer(out, in, 5), 0);
        board.clock().advanceMs(ms);
    }

    TestBoard board;
    std::unique_ptr<platform::SpiDevice> chain;
};

TEST_F(CadenceCommand, GivesThePeriodsOfTheKeptFramesAndCountsTheLateOnes) {
    ASSERT_TRUE(chain);
    ControlServer control;
    addCadenceCommand(control, board.platform().simSpi());
    EXPECT_EQ(control.execute("cadence"), "error fewer than two exchanges kept");

    for (int i = 0; i < 98; ++i)
        exchangeThenWait(10);
    exchangeThenWait(16);
    exchangeThenWait(40);
    exchangeThenWait(10);
    // 100 periods: 98 of 10 ms, one of 16, one of 40.
    EXPECT_EQ(control.execute("cadence"), "ok frames=101 p50=10 p99=40 max=40 late=2");

    board.platform().simSpi().setKeptFrames(3);
    EXPECT_EQ(control.execute("cadence"), "ok frames=3 p50=40 p99=40 max=40 late=2");
}

} // namespace
