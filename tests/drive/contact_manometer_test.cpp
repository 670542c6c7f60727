// The contact manometer on its own: held in a state for delaySwingProtection seconds it reports once.

#include "config/config.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/contact_manometer.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>

namespace {

class ContactManometerTest : public ::testing::Test {
protected:
    ContactManometerTest() : config(board.path("/etc/velkord"), board.path("/etc/velkord_perf")) {
        gTimers = &timers;
        gConfig = &config;
        config.delaySwingProtection.value = 2;
    }
    ~ContactManometerTest() override {
        gConfig = nullptr;
        gTimers = nullptr;
    }
    void run(uint32_t ms) { runLoopFor(board, ms); }

    TestBoard board;
    TimerQueue timers;
    Config config;
    int heldHigh = 0;
    int normalAgain = 0;
    ContactManometer manometer{[this] { ++heldHigh; }, [this] { ++normalAgain; }};
};

TEST_F(ContactManometerTest, AnActiveLevelHeldForTheDelayReportsOnceAndAnInactiveOneAsLongReportsNormal) {
    manometer.onInput(true); // ecmInvertion is on by default: high is active
    EXPECT_TRUE(manometer.active());
    run(1990);
    EXPECT_EQ(heldHigh, 0);
    manometer.onInput(true); // the same state again does not restart the delay
    run(20);
    EXPECT_EQ(heldHigh, 1);
    manometer.onInput(false);
    EXPECT_FALSE(manometer.active());
    run(2010);
    EXPECT_EQ(normalAgain, 1);
    EXPECT_EQ(heldHigh, 1);
}

TEST_F(ContactManometerTest, APulseShorterThanTheDelayChangesNothingAndEcmInvertionTurnsTheLevels) {
    manometer.onInput(true);
    run(1000);
    manometer.onInput(false);
    run(1000);
    manometer.onInput(true);
    run(1000);
    EXPECT_EQ(heldHigh, 0);
    EXPECT_EQ(normalAgain, 0);
    config.ecmInvertion.current = 0;
    manometer.onInput(false);
    EXPECT_TRUE(manometer.active());
    run(2010);
    EXPECT_EQ(heldHigh, 1);
}

} // namespace
