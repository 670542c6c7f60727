#include "platform/worker_pause.h"

#include <chrono>

namespace platform {

uint64_t WorkerPause::nowMs() {
    timespec now = clock_.monotonic();
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

bool WorkerPause::sleepUntil(uint64_t untilMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (stopped_)
            return false;
        uint64_t now = nowMs();
        if (now >= untilMs)
            return true;
        // A clock that runs ahead of real time is looked at again before the whole wait has passed.
        uint64_t realUs = clock_.realWaitUsFor(static_cast<unsigned>(untilMs - now));
        wake_.wait_for(lock, std::chrono::microseconds(realUs));
    }
}

void WorkerPause::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
    }
    wake_.notify_all();
}

bool WorkerPause::stopped() {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopped_;
}

} // namespace platform
