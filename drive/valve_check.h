#pragma once
// The valve check: inputs 17 and 18 tell whether current flows in ЭК1 and ЭК2, 200 ms after every
// switching and at every later change of the feedback. An energised valve without current is an open
// circuit, a de-energised one with current a short circuit (alarm 34, the valve's lamp blinking slowly
// or fast). Faulty valves stop the drive (alarm 12) unless workWithBrokenEV allows working on and a
// valve that takes part is still healthy (alarm 35).

#include "core/timer_queue.h"
#include "drive/supervision_actions.h"

#include <array>
#include <cstdint>
#include <functional>

class ValveCheck {
public:
    struct Hooks {
        std::function<bool(int valve)> on;      // the valve's output is on
        std::function<bool(int valve)> current; // its current feedback input
        std::function<int(int valve)> state;    // the state it is marked with
        std::function<void(int valve, int state)> mark;
        std::function<void(int lamp, bool fast, bool slow)> blink;
    };
    static constexpr uint32_t kCheckMs = 200;

    ValveCheck(SupervisionActions& actions, Hooks hooks) : actions_(actions), hooks_(std::move(hooks)) {}

    // The valve's output was switched: it is checked once its current has settled.
    void switched(int valve);
    // A change of the valve's current feedback.
    void feedbackChanged(int valve);

private:
    static size_t index(int valve) { return valve == 2 ? 1 : 0; }
    void check(int valve);
    void mark(int valve, int state);
    void summarise();

    SupervisionActions& actions_;
    Hooks hooks_;
    std::array<Timer, 2> checks_;
};
