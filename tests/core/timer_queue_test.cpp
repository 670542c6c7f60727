#include "core/registry.h"
#include "core/timer_queue.h"
#include "platform/clock.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class TimerQueueTest : public ::testing::Test {
protected:
    explicit TimerQueueTest(uint64_t startMs = 1000000) : board(startMs) { gTimers = &timers; }
    ~TimerQueueTest() override { gTimers = nullptr; }

    // Moves the virtual clock one millisecond at a time, firing what is due, for `ms` milliseconds.
    void runFor(uint32_t ms) {
        for (uint32_t i = 0; i < ms; ++i) {
            board.clock().advanceMs(1);
            timers.runDue();
        }
    }

    TestBoard board;
    TimerQueue timers;
    std::vector<std::string> fired;
};

TEST_F(TimerQueueTest, FiresInExpiryOrderAndEqualExpiriesInArmingOrder) {
    timers.add("a", 10, [&] { fired.push_back("a"); });
    timers.add("b", 5, [&] { fired.push_back("b"); });
    timers.add("c", 10, [&] { fired.push_back("c"); });
    timers.add("d", 5, [&] { fired.push_back("d"); });
    board.clock().advanceMs(4);
    timers.add("e", 1, [&] { fired.push_back("e"); }); // expires at 5 as well, armed last

    runFor(20);

    EXPECT_EQ(fired, (std::vector<std::string>{"b", "d", "e", "a", "c"}));
    EXPECT_EQ(timers.runDue(), -1);
}

TEST_F(TimerQueueTest, TimerFiresOnlyOnceItsExpiryHasPassedByOneMillisecond) {
    timers.add("zero", 0, [&] { fired.push_back("zero"); });
    timers.add("ten", 10, [&] { fired.push_back("ten"); });

    EXPECT_EQ(timers.runDue(), 1); // due now, but not yet past: wait for the millisecond to turn
    EXPECT_TRUE(fired.empty());

    board.clock().advanceMs(1);
    EXPECT_EQ(timers.runDue(), 9);
    EXPECT_EQ(fired, std::vector<std::string>{"zero"});

    board.clock().advanceMs(9);
    EXPECT_EQ(timers.runDue(), 1);
    EXPECT_EQ(fired.size(), 1u);
    board.clock().advanceMs(1);
    EXPECT_EQ(timers.runDue(), -1);
    EXPECT_EQ(fired.back(), "ten");
}

TEST_F(TimerQueueTest, CallbackArmingDelayZeroDoesNotFireInTheSamePass) {
    int runs = 0;
    TimerCallback again;
    again = [&] {
        ++runs;
        timers.add("again", 0, again);
    };
    timers.add("again", 0, again);
    board.clock().advanceMs(1);
    timers.runDue();
    EXPECT_EQ(runs, 1);
    board.clock().advanceMs(1);
    timers.runDue();
    EXPECT_EQ(runs, 2);
}

TEST_F(TimerQueueTest, CancellingKeepsTheFollowersExpiryAndIgnoresUnknownIds) {
    TimerId first = timers.add("first", 10, [&] { fired.push_back("first"); });
    timers.add("second", 30, [&] { fired.push_back("second"); });

    timers.cancel(first);
    timers.cancel(0);
    timers.cancel(first); // already gone
    timers.cancel(12345);
    EXPECT_EQ(timers.size(), 1u);

    board.clock().advanceMs(29);
    EXPECT_EQ(timers.runDue(), 1);
    board.clock().advanceMs(1);
    EXPECT_EQ(timers.runDue(), 1);
    EXPECT_TRUE(fired.empty());
    board.clock().advanceMs(1);
    timers.runDue();
    EXPECT_EQ(fired, std::vector<std::string>{"second"});
}

TEST_F(TimerQueueTest, IdsAreUniqueAndNeverZero) {
    TimerId a = timers.add("a", 1, nullptr);
    TimerId b = timers.add("b", 1, nullptr);
    TimerId c = timers.add("c", 1, nullptr);
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    EXPECT_NE(b, c);
    EXPECT_TRUE(timers.isQueued(b));
}

// A periodic task late by L ms keeps its cadence only when it re-arms from currentTick.
TEST_F(TimerQueueTest, RearmingFromCurrentTickKeepsCadenceUnderALateLoop) {
    const uint32_t period = 20;
    uint32_t start = platform::monotonicMs();
    std::vector<uint32_t> tickFires, monotonicFires;
    std::vector<uint32_t> ticksSeen;

    TimerCallback byTick = [&] {
        tickFires.push_back(platform::monotonicMs() - start);
        ticksSeen.push_back(timers.currentTick() - start);
        uint32_t late = platform::monotonicMs() - timers.currentTick();
        timers.add("tick", late < period ? period - late : 1, byTick);
    };
    TimerCallback byMonotonic = [&] {
        monotonicFires.push_back(platform::monotonicMs() - start);
        timers.add("mono", period, byMonotonic);
    };
    timers.add("tick", period, byTick);
    timers.add("mono", period, byMonotonic);

    board.clock().advanceMs(27); // the loop wakes 7 ms late
    timers.runDue();
    runFor(60);

    ASSERT_GE(tickFires.size(), 3u);
    ASSERT_GE(monotonicFires.size(), 3u);
    EXPECT_EQ(ticksSeen[0], 20u); // the scheduled expiry, not the late wake-up at 27
    EXPECT_EQ(tickFires[0], 27u);
    EXPECT_EQ(tickFires[1], 41u); // 40 was scheduled: fires 1 ms after it
    EXPECT_EQ(tickFires[2], 61u);
    EXPECT_EQ(monotonicFires[0], 27u);
    EXPECT_EQ(monotonicFires[1], 48u); // drifted by the 7 ms
    EXPECT_EQ(monotonicFires[2], 69u);
}

TEST_F(TimerQueueTest, QuitInsideACallbackStopsFiringAndKeepsTheRest) {
    timers.add("stopper", 5, [&] {
        fired.push_back("stopper");
        timers.quit = true;
    });
    timers.add("after", 5, [&] { fired.push_back("after"); });
    timers.add("later", 50, [&] { fired.push_back("later"); });

    board.clock().advanceMs(10);
    int timeout = timers.runDue();

    EXPECT_EQ(fired, std::vector<std::string>{"stopper"});
    EXPECT_EQ(timers.size(), 2u);
    EXPECT_EQ(timeout, -5); // "after" is overdue; the loop stops before polling anyway
    EXPECT_EQ(timers.runDue(), -5);
    EXPECT_EQ(fired.size(), 1u);
}

TEST_F(TimerQueueTest, OwnedTimerCancelsOnDestructionAndClearsItselfWhenFired) {
    int count = 0;
    {
        Timer owned;
        owned.start("owned", 5, [&] { ++count; });
        EXPECT_TRUE(owned.armed());
        EXPECT_EQ(timers.size(), 1u);
    }
    EXPECT_EQ(timers.size(), 0u);

    Timer periodic;
    periodic.start("periodic", 5, [&] {
        ++count;
        EXPECT_FALSE(periodic.armed());
        if (count < 3)
            periodic.start("periodic", 5, [&] { ++count; });
    });
    runFor(20);
    EXPECT_EQ(count, 2);
    EXPECT_FALSE(periodic.armed());
}

class TimerQueueWrapTest : public TimerQueueTest {
protected:
    // The 32-bit millisecond clock wraps 5 ms after the start.
    TimerQueueWrapTest() : TimerQueueTest((uint64_t{1} << 32) - 5) {}
};

TEST_F(TimerQueueWrapTest, WrappingPastTwoToTheThirtySecondKeepsOrderAndTimeouts) {
    uint32_t start = platform::monotonicMs();
    std::vector<std::pair<std::string, uint32_t>> when;
    timers.add("late", 100, [&] { when.emplace_back("late", platform::monotonicMs() - start); });
    timers.add("early", 3, [&] { when.emplace_back("early", platform::monotonicMs() - start); });
    timers.add("across", 7, [&] { when.emplace_back("across", platform::monotonicMs() - start); });

    EXPECT_EQ(timers.runDue(), 3);
    board.clock().advanceMs(6);
    EXPECT_LT(platform::monotonicMs(), start); // wrapped
    EXPECT_EQ(timers.runDue(), 1);
    runFor(200);

    ASSERT_EQ(when.size(), 3u);
    EXPECT_EQ(when[0], std::make_pair(std::string("early"), 6u)); // fired by the first runDue after 4
    EXPECT_EQ(when[1], std::make_pair(std::string("across"), 8u));
    EXPECT_EQ(when[2], std::make_pair(std::string("late"), 101u));
}

} // namespace
