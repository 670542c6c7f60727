#pragma once
// Keeps a repeating log line to one per interval: the events in between are counted and the next
// line that is let through can say how many there were.

#include <cstdint>

class LogRateLimit {
public:
    explicit LogRateLimit(uint32_t intervalMs) : intervalMs_(intervalMs) {}

    // True when a line may be written now (the first event always may); `suppressed` then holds the
    // number of events held back since the last line. False counts this event as held back.
    bool allow(uint32_t nowMs, uint32_t& suppressed) {
        if (written_ && nowMs - lastMs_ < intervalMs_) {
            ++suppressed_;
            return false;
        }
        written_ = true;
        lastMs_ = nowMs;
        suppressed = suppressed_;
        suppressed_ = 0;
        return true;
    }

private:
    uint32_t intervalMs_;
    bool written_ = false;
    uint32_t lastMs_ = 0;
    uint32_t suppressed_ = 0;
};
