#pragma once
// A worker thread's sleep on the platform's clock, which the thread's owner can cut short so that the
// thread is joined at once at shutdown.

#include "platform/clock.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

class WorkerPause {
public:
    explicit WorkerPause(Clock& clock) : clock_(clock) {}
    WorkerPause(const WorkerPause&) = delete;
    WorkerPause& operator=(const WorkerPause&) = delete;

    // Milliseconds of the clock, 64 bits; any thread.
    uint64_t nowMs();
    // Sleeps until the clock reads untilMs; false when stopped (at once when stopped already).
    bool sleepUntil(uint64_t untilMs);
    bool sleepMs(unsigned ms) { return sleepUntil(nowMs() + ms); }
    // Ends the current and every later sleep.
    void stop();
    bool stopped();

private:
    Clock& clock_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
};

} // namespace platform
