// Key routing: auto-repeat and inactivity, alone and behind the discrete I/O chain.

#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/discrete_io.h"
#include "drive/keypad.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

// Key codes: the input numbers of the keys.
constexpr int kCancel = 33;
constexpr int kLeft = 34;
constexpr int kDown = 35;
constexpr int kUp = 36;
constexpr int kEnter = 37;
constexpr int kRight = 38;

struct KeyEvent {
    uint64_t atMs;
    int code;
    bool pressed;
};

class FakeScreens : public KeyHandler {
public:
    explicit FakeScreens(TestBoard& board) : board_(board) {}
    void onKey(int code, bool pressed) override {
        keys.push_back({board_.clock().elapsedMs(), code, pressed});
    }
    void onInactivity() override { inactivityAtMs.push_back(board_.clock().elapsedMs()); }

    std::vector<KeyEvent> keys;
    std::vector<uint64_t> inactivityAtMs;

private:
    TestBoard& board_;
};

class FakeDisplay : public DisplayBlanking {
public:
    void setBlank(bool blank) override { calls.push_back(blank); }
    std::vector<bool> calls;
};

// Stands in for the controller's input dispatch: key inputs go to the keypad.
class KeyRouter : public DiscreteInputListener {
public:
    explicit KeyRouter(Keypad& keypad) : keypad_(keypad) {}
    void inputChanged(int n, bool state) override {
        if (Keypad::isKey(n))
            keypad_.onKeyInput(n, state);
    }
    void discreteIoStarted() override {}

private:
    Keypad& keypad_;
};

class KeypadTest : public ::testing::Test {
protected:
    KeypadTest() { gTimers = &timers; }
    ~KeypadTest() override { gTimers = nullptr; }

    TestBoard board;
    TimerQueue timers;
    FakeScreens screens{board};
    FakeDisplay display;
};

// A timer of d ms fires between d and d + 1 ms later on the 1 ms steps of the virtual clock.
void expectInterval(uint64_t fromMs, uint64_t toMs, uint64_t intervalMs) {
    EXPECT_GE(toMs - fromMs, intervalMs);
    EXPECT_LE(toMs - fromMs, intervalMs + 1);
}

TEST_F(KeypadTest, HeldKeyRepeatsAfter700MsThenEvery100MsAndNotAfterItsRelease) {
    Keypad keypad(screens, display);
    keypad.onKeyInput(kDown, true);
    runFor(board, 1050);
    keypad.onKeyInput(kDown, false);
    runFor(board, 1000);

    // press, repeats at about 700, 800, 900 and 1000 ms, release
    ASSERT_EQ(screens.keys.size(), 6u);
    EXPECT_TRUE(screens.keys.front().pressed);
    expectInterval(screens.keys[0].atMs, screens.keys[1].atMs, 700);
    for (size_t i = 2; i < 5; ++i) {
        EXPECT_EQ(screens.keys[i].code, kDown);
        EXPECT_TRUE(screens.keys[i].pressed);
        expectInterval(screens.keys[i - 1].atMs, screens.keys[i].atMs, 100);
    }
    EXPECT_EQ(screens.keys.back().code, kDown);
    EXPECT_FALSE(screens.keys.back().pressed);
}

TEST_F(KeypadTest, FiveMinutesWithoutAKeyBlankTheDisplayAndAKeyWakesIt) {
    Keypad keypad(screens, display);
    runFor(board, 200000);
    keypad.onKeyInput(kEnter, true);
    keypad.onKeyInput(kEnter, false);
    runFor(board, Keypad::kInactivityMs);
    EXPECT_TRUE(screens.inactivityAtMs.empty());
    EXPECT_EQ(display.calls, (std::vector<bool>{false, false}));

    runFor(board, 1);
    ASSERT_EQ(screens.inactivityAtMs.size(), 1u);
    EXPECT_EQ(display.calls.back(), true);

    keypad.wake();
    EXPECT_EQ(display.calls.back(), false);
    runFor(board, Keypad::kInactivityMs + 1);
    EXPECT_EQ(screens.inactivityAtMs.size(), 2u);
}

TEST_F(KeypadTest, ReleasingAnyKeyEndsTheRepeatOfTheLastPress) {
    Keypad keypad(screens, display);
    keypad.onKeyInput(kLeft, true);
    keypad.onKeyInput(kRight, true);
    runFor(board, 750);
    ASSERT_EQ(screens.keys.size(), 3u);
    EXPECT_EQ(screens.keys[2].code, kRight);

    keypad.onKeyInput(kLeft, false);
    runFor(board, 500);
    EXPECT_EQ(screens.keys.size(), 4u);
}

TEST_F(KeypadTest, KeyHeldOnTheChainRepeatsAndKeysHeldAtStartUpGiveNothing) {
    Keypad keypad(screens, display);
    KeyRouter router(keypad);
    platform::FixedSpiInputs& inputs = board.platform().simSpi().fixedInputs();
    inputs.setInput(kCancel, true); // held while the board starts
    DiscreteIO io(&router);
    runFor(board, 1000);
    EXPECT_TRUE(screens.keys.empty());

    inputs.setInput(kCancel, false);
    runFor(board, 50);
    ASSERT_EQ(screens.keys.size(), 1u);
    EXPECT_FALSE(screens.keys[0].pressed);

    inputs.setInput(25, true); // not a key: the controller's
    inputs.setInput(kUp, true);
    runFor(board, 950);
    inputs.setInput(kUp, false);
    runFor(board, 1000);

    ASSERT_EQ(screens.keys.size(), 1u + 5u); // press, three repeats, release
    EXPECT_TRUE(Keypad::isKey(kCancel) && Keypad::isKey(kRight));
    EXPECT_FALSE(Keypad::isKey(32) || Keypad::isKey(39));
    EXPECT_EQ(screens.keys[1].code, kUp);
    EXPECT_TRUE(screens.keys[1].pressed);
    expectInterval(screens.keys[1].atMs, screens.keys[2].atMs, 700);
    expectInterval(screens.keys[2].atMs, screens.keys[3].atMs, 100);
    EXPECT_FALSE(screens.keys.back().pressed);
}

} // namespace
