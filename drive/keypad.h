#pragma once
// The panel keypad as the controller routes it: key events with auto-repeat to the root screen stack,
// and the five-minute inactivity that blanks the display.

#include "core/timer_queue.h"

#include <cstdint>

// The root screen stack as the keypad sees it.
class KeyHandler {
public:
    virtual ~KeyHandler() = default;
    virtual void onKey(int code, bool pressed) = 0;
    // Five minutes passed without a key; the display has been blanked.
    virtual void onInactivity() = 0;
};

// The display's blank mode as the keypad sees it.
class DisplayBlanking {
public:
    virtual ~DisplayBlanking() = default;
    virtual void setBlank(bool blank) = 0;
};

class Keypad {
public:
    // The keys are inputs 33-38 of the discrete I/O; a key's code is its input number (33 "ОТМ",
    // 34 left, 35 down, 36 up, 37 "ВВОД", 38 right).
    static constexpr int kFirstKey = 33;
    static constexpr int kLastKey = 38;
    static bool isKey(int input) { return input >= kFirstKey && input <= kLastKey; }

    static constexpr uint32_t kInactivityMs = 300000;
    static constexpr uint32_t kFirstRepeatMs = 700;
    static constexpr uint32_t kRepeatMs = 100;

    // Arms the inactivity timer: a panel nobody touches after start-up blanks too.
    Keypad(KeyHandler& screens, DisplayBlanking& display);

    // A debounced change of a key input.
    void onKeyInput(int code, bool pressed);
    // Other panel activity (the manual push buttons): restarts the inactivity time and wakes the display.
    void wake();
    // Restarts the inactivity time only (the panel-enable input sets the blanking itself).
    void restartInactivity();

private:
    void repeat();
    void inactive();

    KeyHandler& screens_;
    DisplayBlanking& display_;
    Timer inactivity_;
    Timer autorepeat_;
    int heldKey_ = 0;
};
