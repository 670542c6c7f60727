#include "platform/worker_pacer.h"

#include <chrono>
#include <thread>

namespace platform {

void WorkerPacer::join(const void* worker, uint64_t firstTurnUs, uint64_t shortestSleepUs) {
    std::lock_guard<std::mutex> lock(mutex_);
    workers_[worker] = Worker{firstTurnUs, shortestSleepUs, State::kSleeping};
    summarize();
}

void WorkerPacer::leave(const void* worker) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (workers_.erase(worker) == 0)
            return;
        summarize();
    }
    turn_.notify_all();
    slept_.notify_all();
}

bool WorkerPacer::sleepUntil(const void* worker, uint64_t untilUs) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto found = workers_.find(worker);
    if (found == workers_.end())
        return false;
    found->second.wakeUs = untilUs;
    found->second.state = State::kSleeping;
    summarize();
    // Told without the lock held, the main loop does not wake only to wait for it.
    lock.unlock();
    slept_.notify_all();
    lock.lock();
    return waitTurnLocked(lock, worker);
}

bool WorkerPacer::waitTurn(const void* worker) {
    std::unique_lock<std::mutex> lock(mutex_);
    return waitTurnLocked(lock, worker);
}

bool WorkerPacer::waitTurnLocked(std::unique_lock<std::mutex>& lock, const void* worker) {
    auto found = workers_.end();
    turn_.wait(lock, [&] {
        found = workers_.find(worker);
        return found == workers_.end() || found->second.state != State::kSleeping;
    });
    return found != workers_.end();
}

void WorkerPacer::runDue(uint64_t nowUs) {
    if (nextWakeUs_.load() > nowUs)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& entry : workers_) {
            Worker& worker = entry.second;
            if (worker.state == State::kSleeping && worker.wakeUs <= nowUs)
                worker.state = State::kRunning;
        }
        summarize();
    }
    turn_.notify_all();
}

void WorkerPacer::settle() {
    if (!running_.load())
        return;
    spinWhileRunning();
    std::unique_lock<std::mutex> lock(mutex_);
    if (slept_.wait_for(lock, std::chrono::milliseconds(kHoldLimitMs), [this] { return !runningLocked(); }))
        return;
    for (auto& entry : workers_) {
        if (entry.second.state == State::kRunning)
            entry.second.state = State::kLoose;
    }
    summarize();
}

bool WorkerPacer::runningLocked() const {
    for (const auto& entry : workers_) {
        if (entry.second.state == State::kRunning)
            return true;
    }
    return false;
}

void WorkerPacer::summarize() {
    uint64_t next = kNever;
    uint64_t hold = kNever;
    for (const auto& entry : workers_) {
        const Worker& worker = entry.second;
        if (worker.state == State::kSleeping && worker.wakeUs < next)
            next = worker.wakeUs;
        // A running worker's wakeUs is the moment of its turn.
        if (worker.state == State::kRunning && worker.wakeUs + worker.shortestSleepUs < hold)
            hold = worker.wakeUs + worker.shortestSleepUs;
    }
    nextWakeUs_ = next;
    holdUs_ = hold;
    running_ = runningLocked();
}

void WorkerPacer::spinWhileRunning() const {
    // With one processor the spin would only keep the worker from running.
    static const bool severalProcessors = std::thread::hardware_concurrency() > 1;
    if (!severalProcessors)
        return;
    auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(kSpinUs);
    while (running_.load() && std::chrono::steady_clock::now() < until) {
    }
}

} // namespace platform
