#pragma once
// Time sources of the daemon: the monotonic clock, wall time and sleeps, all behind the platform.

#include <cstdint>
#include <ctime>
#include <sys/time.h>

namespace platform {

// A source of time. The board reads the real clocks; tests and the simulator run on a clock that the
// main loop moves forward instead of waiting.
class Clock {
public:
    virtual ~Clock() = default;

    virtual timespec monotonic() = 0;
    virtual timeval wallTime() = 0;
    virtual void sleepMs(unsigned ms) = 0;

    // How long the main loop's poll really waits when the next timer is timeoutMs away (-1: none).
    virtual int realWaitMs(int timeoutMs) { return timeoutMs; }
    // Told after that poll with the number of ready descriptors it reported.
    virtual void waited(int /*timeoutMs*/, int /*readyCount*/) {}
};

// The real clocks of the machine.
class SystemClock : public Clock {
public:
    timespec monotonic() override;
    timeval wallTime() override;
    void sleepMs(unsigned ms) override;
};

// Milliseconds of the monotonic clock, truncated to 32 bits (wraps after about 49.7 days).
uint32_t monotonicMs();
// Whole seconds of the monotonic clock.
int monotonicSeconds();
// time(NULL) and gettimeofday through the platform.
time_t wallTime();
timeval wallTimeOfDay();
void sleepMs(unsigned ms);

} // namespace platform
