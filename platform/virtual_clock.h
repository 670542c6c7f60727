#pragma once
// Simulated time: a virtual clock that jumps to the next timer, and a clock that runs N times faster.

#include "platform/clock.h"
#include "platform/worker_pacer.h"

#include <atomic>
#include <cstdint>
#include <functional>

namespace platform {

// Time that passes only when the main loop has nothing to do: poll never waits for a timer, and the
// clock then jumps to that timer's expiry. Sleeps advance it at once. Hours run in milliseconds.
// Worker threads sleeping on it (platform/worker_pause.h) are paced: it stops at each one's wake-up,
// and while the worker runs its step goes no further than the worker's shortest sleep.
class VirtualClock : public Clock {
public:
    // startMs: the monotonic reading at construction; wallStart: the wall time at that moment.
    explicit VirtualClock(uint64_t startMs = 1000000, time_t wallStart = 1767225600);

    timespec monotonic() override;
    uint64_t monotonicMilliseconds() override { return nowUs_.load() / 1000u; }
    timeval wallTime() override;
    void sleepMs(unsigned ms) override;
    // Polls only when it would wait (bytes in flight on a pty, nothing queued at all) or when the
    // descriptors were last looked at kLookIntervalUs of real time ago; with nothing ready, jumps to
    // the moment the first timer fires, a local source becomes ready or a worker wakes, whichever
    // comes first. Workers due are woken before it returns.
    int wait(pollfd* set, nfds_t count, int timeoutMs, int fireInMs, LocalEvents& local) override;
    // The clock moves as fast as the main loop runs: another thread looks again every kLookIntervalUs.
    uint64_t realWaitUsFor(unsigned ms) override;

    // Moves the clock on, letting each worker due on the way run its step at its own moment.
    void advanceMs(uint64_t ms);
    WorkerPacer* workerPacer() { return &pacer_; }
    void settleWorkers() override { pacer_.settle(); }
    uint64_t elapsedMs() const { return (nowUs_ - startUs_) / 1000u; }

    // Bytes written to a pty reach its other side a moment later in real time. While this says some
    // are still on their way, poll waits for them (up to kSettleWaitMs of real time) instead of the
    // clock jumping ahead of the answer. Empty: no such wait.
    static constexpr int kSettleWaitMs = 20;
    // Sockets and ptys are looked at least this often in real time while the clock runs ahead.
    static constexpr uint64_t kLookIntervalUs = 500;
    // A pass of the loop takes about a microsecond, so this many stay well inside kLookIntervalUs.
    static constexpr unsigned kPassesPerRealRead = 16;
    void setInFlightCheck(std::function<bool()> inFlight) { inFlight_ = std::move(inFlight); }

private:
    bool timeToLook();
    // Moves the clock to targetUs, or to the first worker's wake-up before it; a running worker's
    // step is waited for when the clock would reach its hold.
    void moveTo(uint64_t targetUs);

    std::function<bool()> inFlight_;
    uint64_t lastLookUs_ = 0;
    bool lastLookFoundReady_ = false;
    unsigned passesSinceRealRead_ = 0;
    const uint64_t startUs_;
    const time_t wallStart_;
    std::atomic<uint64_t> nowUs_;
    WorkerPacer pacer_;
};

// Real time multiplied by a factor: the daemon sees `factor` seconds pass for every real second.
class ScaledClock : public Clock {
public:
    explicit ScaledClock(double factor);

    timespec monotonic() override;
    timeval wallTime() override;
    void sleepMs(unsigned ms) override;
    uint64_t realWaitUsFor(unsigned ms) override;

protected:
    // Waits the real time of timeoutMs to the microsecond: at a factor of 96 a whole real millisecond
    // would be 96 ms of this clock, longer than a drive's answer takes on the bus.
    int pollFor(pollfd* set, nfds_t count, int timeoutMs) override;

private:
    uint64_t scaledUs(uint64_t realUs, uint64_t realStartUs) const;

    const double factor_;
    const uint64_t realMonotonicStartUs_;
    const uint64_t realWallStartUs_;
};

} // namespace platform
