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

uint64_t clockMs(Clock& clock) {
    timespec now = clock.monotonic();
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

} // namespace

WorkerPause::WorkerPause(Clock& clock, unsigned shortestSleepMs)
    : clock_(clock), pacer_(pacerOf(clock)), turnMs_(clockMs(clock)) {
    if (pacer_)
        pacer_->join(this, turnMs_ * kUsPerMs, static_cast<uint64_t>(shortestSleepMs) * kUsPerMs);
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
    return pacer_ ? turnMs_ : clockMs(clock_);
}

bool WorkerPause::sleepUntil(uint64_t untilMs) {
    if (pacer_) {
        if (stopped_)
            return false;
        if (turnMs_ >= untilMs)
            return true;
        if (!pacer_->sleepUntil(this, untilMs * kUsPerMs))
            return false;
        turnMs_ = untilMs;
        return true;
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
