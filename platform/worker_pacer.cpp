#include "platform/worker_pacer.h"

#include <chrono>
#include <thread>

namespace platform {

void WorkerPacer::join(const void* worker, uint64_t firstTurnUs, uint64_t shortestSleepUs) {
    std::lock_guard<std::mutex> lock(mutex_);
    workers_[worker] = Worker{firstTurnUs, shortestSleepUs, State::kSleeping, true};
    summarize();
}

void WorkerPacer::leave(const void* worker) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (workers_.erase(worker) == 0)
            return;
        summarize();
        ++turnsGiven_;
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
    auto found = workers_.find(worker);
    if (found == workers_.end())
        return false;
    if (found->second.state != State::kSleeping)
        return true;
    auto start = std::chrono::steady_clock::now();
    if (found->second.spins) {
        uint64_t seen = turnsGiven_.load();
        lock.unlock();
        spinForTurn(seen);
        lock.lock();
    }
    turn_.wait(lock, [&] {
        found = workers_.find(worker);
        return found == workers_.end() || found->second.state != State::kSleeping;
    });
    if (found == workers_.end())
        return false;
    // Spinning pays only while the clock moves at full speed; a longer wait sleeps in the kernel
    // next time, until the turns come quickly again.
    found->second.spins =
        std::chrono::steady_clock::now() - start <= std::chrono::microseconds(kSpinAfterWaitUs);
    return true;
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
        ++turnsGiven_;
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

namespace {

// Tells the processor this is a spin: the other thread on the same core gets its share.
inline void relaxProcessor() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__arm__) || defined(__aarch64__)
    asm volatile("yield");
#endif
}

// Spins until done() or the time passed; with one processor the spin would only keep the other
// thread from running. The real clock is read every few rounds only.
template <typename Done> void spinUntil(unsigned us, Done done) {
    static const bool severalProcessors = std::thread::hardware_concurrency() > 1;
    if (!severalProcessors)
        return;
    constexpr unsigned kRoundsPerClockRead = 64;
    auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(us);
    for (;;) {
        for (unsigned round = 0; round < kRoundsPerClockRead; ++round) {
            if (done())
                return;
            relaxProcessor();
        }
        if (std::chrono::steady_clock::now() >= until)
            return;
    }
}

} // namespace

void WorkerPacer::spinWhileRunning() const {
    spinUntil(kSpinUs, [this] { return !running_.load(); });
}

void WorkerPacer::spinForTurn(uint64_t seen) const {
    spinUntil(kTurnSpinUs, [&] { return turnsGiven_.load() != seen; });
}

} // namespace platform
