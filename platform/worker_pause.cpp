#include "platform/worker_pause.h"

#include "platform/virtual_clock.h"

#include <chrono>

namespace platform {

namespace {

constexpr uint64_t kUsPerMs = 1000;

WorkerPacer* pacerOf(Clock& clock) {
    auto* virtualClock = dynamic_cast<VirtualClock*>(&clock);
    return virtualClock ? virtualClock->workerPacer() : nullptr;
}

} // namespace

WorkerPause::WorkerPause(Clock& clock) : clock_(clock), pacer_(pacerOf(clock)) {
    if (pacer_)
        pacer_->join(this, nowMs() * kUsPerMs);
}

WorkerPause::~WorkerPause() {
    if (pacer_)
        pacer_->leave(this);
}

bool WorkerPause::begin() {
    if (stopped_)
        return false;
    return pacer_ ? pacer_->waitTurn(this) : true;
}

uint64_t WorkerPause::nowMs() {
    timespec now = clock_.monotonic();
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

bool WorkerPause::sleepUntil(uint64_t untilMs) {
    if (pacer_) {
        if (stopped_)
            return false;
        return nowMs() >= untilMs || pacer_->sleepUntil(this, untilMs * kUsPerMs);
    }
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
    if (pacer_)
        pacer_->leave(this);
}

} // namespace platform
