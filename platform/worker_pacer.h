#pragma once
// Worker threads that sleep on a clock the main loop moves (platform/virtual_clock.h). The clock never
// jumps past a sleeping worker's wake-up, and a worker's own time stands still at the moment of its turn
// while it runs its step: the worker's steps fall on the same moments of the clock however fast the
// machine runs. Meanwhile the main loop goes on, no further than the worker's shortest sleep after the
// turn, and whatever touches the files a worker shares settles the workers first (settle()), so the
// two threads work side by side and still see each other at the same moments every run.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>

namespace platform {

class WorkerPacer {
public:
    static constexpr uint64_t kNever = UINT64_MAX;
    // A woken worker that has not slept again after this much real time is blocked elsewhere: the
    // clock goes on without it until it sleeps again.
    static constexpr unsigned kHoldLimitMs = 2000;
    // A step takes some tens of microseconds: a settle waits up to this long for it on the spot,
    // which spares both threads a system call and itself a wake-up.
    static constexpr unsigned kSpinUs = 100;
    // A worker's sleep on a clock that runs at full speed lasts about a hundred microseconds of real
    // time: it looks for its turn on the spot this long before it sleeps in the kernel, which spares
    // the main loop the system call of a wake-up and the worker the latency of one.
    static constexpr unsigned kTurnSpinUs = 300;
    // A worker whose last wait was longer than this (the clock stood or crawled) does not spin.
    static constexpr unsigned kSpinAfterWaitUs = 2000;

    WorkerPacer() = default;
    WorkerPacer(const WorkerPacer&) = delete;
    WorkerPacer& operator=(const WorkerPacer&) = delete;

    // Worker side; `worker` is the worker's own key (its pause). Registers it with its first turn due
    // at firstTurnUs: its thread waits for that turn (waitTurn) before its first step. After a turn it
    // never sleeps for less than shortestSleepUs.
    void join(const void* worker, uint64_t firstTurnUs, uint64_t shortestSleepUs);
    // No longer paced: a wait of its ends at once, and the clock heeds it no more. Unknown: nothing.
    void leave(const void* worker);
    // Sleeps until the clock reaches untilUs and wakes the worker; false when it left meanwhile.
    bool sleepUntil(const void* worker, uint64_t untilUs);
    // Waits for the turn already registered; false when the worker left.
    bool waitTurn(const void* worker);

    // Main loop side: the earliest wake-up of a sleeping worker (kNever: none).
    uint64_t nextWakeUs() const { return nextWakeUs_.load(); }
    // The earliest moment a running worker may sleep until (kNever: none runs): the clock settles the
    // workers before it reaches it.
    uint64_t holdUs() const { return holdUs_.load(); }
    bool anyRunning() const { return running_.load(); }
    // The clock reads nowUs: wakes every worker due by then, without waiting for them.
    void runDue(uint64_t nowUs);
    // Returns once every woken worker has slept again, left, or outrun kHoldLimitMs.
    void settle();

private:
    enum class State { kSleeping, kRunning, kLoose };
    struct Worker {
        uint64_t wakeUs;
        uint64_t shortestSleepUs;
        State state;
        // Whether it spins for its next turn before it sleeps (its last wait was short).
        bool spins;
    };

    bool runningLocked() const;
    void spinWhileRunning() const;
    // Spins (several processors only) until a turn is given after `seen` or kTurnSpinUs passed.
    void spinForTurn(uint64_t seen) const;
    // The earliest wake-up, the hold and whether a worker runs, cached for the main loop to read
    // without the lock.
    void summarize();
    bool waitTurnLocked(std::unique_lock<std::mutex>& lock, const void* worker);

    std::mutex mutex_;
    std::condition_variable turn_;
    std::condition_variable slept_;
    std::map<const void*, Worker> workers_;
    std::atomic<uint64_t> nextWakeUs_{kNever};
    std::atomic<uint64_t> holdUs_{kNever};
    std::atomic<bool> running_{false};
    // Counts the turns given and the leavings, for a waiting worker to spin on without the lock.
    std::atomic<uint64_t> turnsGiven_{0};
};

} // namespace platform
