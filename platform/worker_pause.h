#pragma once
// A worker thread's sleep on the platform's clock, which the thread's owner can cut short so that the
// thread is joined at once at shutdown. On the virtual clock the sleeps are paced (platform/worker_pacer.h):
// the worker wakes at exactly its moment of the clock, and its time stands still while it runs its step.

#include "platform/clock.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

class WorkerPacer;

class WorkerPause {
public:
    // Made by the thread that starts the worker, before it starts it. shortestSleepMs: the worker never
    // sleeps for less after it woke; on the virtual clock the main loop runs on that far during a step.
    explicit WorkerPause(Clock& clock, unsigned shortestSleepMs = 0);
    ~WorkerPause();
    WorkerPause(const WorkerPause&) = delete;
    WorkerPause& operator=(const WorkerPause&) = delete;

    // The worker thread's first call: waits for its first turn on a paced clock (at once elsewhere);
    // false when stopped.
    bool begin();
    // Milliseconds of the clock, 64 bits, as the worker sees it: on a paced clock the moment of its
    // current turn.
    uint64_t nowMs();
    // Sleeps until the clock reads untilMs; false when stopped (at once when stopped already).
    bool sleepUntil(uint64_t untilMs);
    bool sleepMs(unsigned ms) { return sleepUntil(nowMs() + ms); }
    // Ends the current and every later sleep; the clock no longer waits for the worker.
    void stop();
    bool stopped() const { return stopped_; }

private:
    Clock& clock_;
    WorkerPacer* const pacer_;
    // The moment of the current turn on a paced clock; written and read by the worker thread only.
    uint64_t turnMs_ = 0;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> stopped_{false};
};

} // namespace platform
