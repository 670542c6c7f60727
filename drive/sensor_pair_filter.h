#pragma once
// The debouncing of one position sensor's input pair: a fault pattern (open or short circuit) counts
// once it has lasted 200 ms; every other state counts at once and drops a pattern being confirmed.

#include "core/timer_queue.h"

#include <cstdint>
#include <functional>

class SensorPairFilter {
public:
    static constexpr uint32_t kConfirmMs = 200;

    // `accept` is told of every state that counts.
    SensorPairFilter(const char* timerName, std::function<void(int state)> accept)
        : timerName_(timerName), accept_(std::move(accept)) {}

    // The pair's present state (SensorState).
    void onState(int state);
    // A fault pattern is being confirmed.
    bool confirming() const { return timer_.armed(); }

private:
    const char* timerName_;
    std::function<void(int)> accept_;
    Timer timer_;
    int pending_ = -1;
};
