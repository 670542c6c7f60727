#pragma once
// A worker thread's sleep on the platform's clock, which the thread's owner can cut short so that the
// thread is joined at once at shutdown. On the virtual clock the sleeps are paced (platform/worker_pacer.h):
// the worker wakes at exactly its moment of the clock, which stands still while the worker runs.

#include "platform/clock.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

class WorkerPacer;

class WorkerPause {
public:
    // Made by the thread that starts the worker, before it starts it.
    explicit WorkerPause(Clock& clock);
    ~WorkerPause();
    WorkerPause(const WorkerPause&) = delete;
    WorkerPause& operator=(const WorkerPause&) = delete;

    // The worker thread's first call: waits for its first turn on a paced clock (at once elsewhere);
    // false when stopped.
    bool begin();
    // Milliseconds of the clock, 64 bits; any thread.
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
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> stopped_{false};
};

} // namespace platform
