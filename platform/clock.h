#pragma once
// Time sources of the daemon: the monotonic clock, wall time and sleeps, all behind the platform.

#include <atomic>
#include <cstdint>
#include <ctime>
#include <poll.h>
#include <sys/time.h>

namespace platform {

class LocalEvents;

// A source of time. The board reads the real clocks; tests and the simulator run on a clock that the
// main loop moves forward instead of waiting.
class Clock {
public:
    virtual ~Clock() = default;

    virtual timespec monotonic() = 0;
    // The monotonic clock in whole milliseconds; the daemon reads it on every timer and frame.
    virtual uint64_t monotonicMilliseconds();
    virtual timeval wallTime() = 0;
    virtual void sleepMs(unsigned ms) = 0;

    // The main loop's wait: polls `set` for at most timeoutMs (-1: no timer) or until a source of
    // `local` becomes ready. fireInMs: when the first timer fires (a millisecond after its expiry;
    // -1: none). A ready local source shows as POLLIN on entry 0, the shared set. Returns poll's count.
    virtual int wait(pollfd* set, nfds_t count, int timeoutMs, int fireInMs, LocalEvents& local);

    // Another thread waiting for `ms` of this clock: how long it may sleep in real time (µs) before it
    // looks at the clock again.
    virtual uint64_t realWaitUsFor(unsigned ms) { return static_cast<uint64_t>(ms) * 1000u; }

    // Called before the main thread touches what a worker thread shares with it (its exchange files):
    // on a clock that paces workers, waits until each worker woke has finished its step. Elsewhere
    // the threads meet through the files as they come.
    virtual void settleWorkers() {}

    // The wall time the daemon sees: the source's, moved by the offset a simulated date setting
    // left. The board's offset stays 0 (there the system clock itself is set).
    timeval wallNow();
    // Moves the wall time the daemon sees so that it reads `seconds` now (microseconds kept).
    void setWallSeconds(time_t seconds);
    int64_t wallOffsetUs() const { return wallOffsetUs_; }
    void setWallOffsetUs(int64_t offsetUs) { wallOffsetUs_ = offsetUs; }

protected:
    // Polls the set, waiting up to timeoutMs of this clock (-1: for ever).
    virtual int pollFor(pollfd* set, nfds_t count, int timeoutMs);

private:
    std::atomic<int64_t> wallOffsetUs_{0};
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
