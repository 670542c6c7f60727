// The controller's output image: levels and blink modes kept before the chain exists and handed to it.

#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/discrete_io.h"
#include "drive/output_image.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>

namespace {

TEST(OutputImage, KeepsLevelsAndBlinkModesWithoutAChain) {
    OutputImage image;
    image.set(22, true, nullptr);
    image.set(9, false, nullptr);
    image.setBlink(32, true, false, nullptr);
    image.setBlink(35, false, true, nullptr);
    EXPECT_TRUE(image.on(22));
    EXPECT_FALSE(image.on(9));
    EXPECT_TRUE(image.fastBlink(32));
    EXPECT_FALSE(image.slowBlink(32));
    EXPECT_TRUE(image.slowBlink(35));
    image.setBlink(32, false, false, nullptr);
    EXPECT_FALSE(image.fastBlink(32));
    image.set(22, false, nullptr);
    EXPECT_FALSE(image.on(22));
}

class OutputImageChainTest : public ::testing::Test {
protected:
    OutputImageChainTest() { gTimers = &timers; }
    ~OutputImageChainTest() override { gTimers = nullptr; }

    TestBoard board;
    TimerQueue timers;
};

TEST_F(OutputImageChainTest, HandsOnlyTheOutputsItSetToTheChainAndPassesLaterChangesOn) {
    OutputImage image;
    image.set(20, true, nullptr);
    image.set(21, false, nullptr);
    DiscreteIO chain(nullptr);
    chain.setOutput(21, true);
    chain.setOutput(18, true); // never set through the image: left alone
    image.applyTo(chain);
    EXPECT_TRUE(chain.isOutputOn(20));
    EXPECT_FALSE(chain.isOutputOn(21));
    EXPECT_TRUE(chain.isOutputOn(18));
    image.set(17, true, &chain);
    EXPECT_TRUE(chain.isOutputOn(17));
    EXPECT_TRUE(image.on(17));
}

} // namespace
