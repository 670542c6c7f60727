#pragma once
// Named one-shot timers on the 32-bit millisecond monotonic clock, kept as a delta list.

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>

using TimerId = uint32_t;
using TimerCallback = std::function<void()>;

class Timer;

class TimerQueue {
public:
    TimerQueue() = default;
    TimerQueue(const TimerQueue&) = delete;
    TimerQueue& operator=(const TimerQueue&) = delete;
    // Remaining timers are dropped without being called.
    ~TimerQueue() = default;

    // Stop request of the main loop; set from the signal handler.
    std::atomic<bool> quit{false};

    // Arms a timer firing once delayMs have passed (at the earliest 1 ms later). Never returns 0.
    TimerId add(const char* name, uint32_t delayMs, TimerCallback callback);
    // Removes a queued timer; an unknown id or 0 is a no-op.
    void cancel(TimerId id);
    // Fires every due timer; returns the milliseconds to the next one, or -1 when none is queued.
    // While the first timer is due but not yet past its expiry, that is 1: the loop waits for the
    // millisecond to turn instead of polling without a time-out until it does.
    int runDue();
    // Milliseconds until the first timer fires (a millisecond after its expiry), -1 when none is queued.
    int firingDelayMs() const;
    // The reference time: inside a callback, the scheduled expiry of the timer being fired.
    uint32_t currentTick() const { return referenceTime_; }

    size_t size() const { return records_.size(); }
    bool isQueued(TimerId id) const;

private:
    friend class Timer;

    struct Record {
        TimerId id;
        uint32_t delta;
        const char* name;
        TimerCallback callback;
        // The Timer whose record this is: disarmed as it fires.
        Timer* owner;
    };
    using Position = std::list<Record>::iterator;

    TimerId add(const char* name, uint32_t delayMs, TimerCallback callback, Timer* owner);
    // Puts the record before `position`, in a node left over from an earlier timer when there is one.
    void place(Position position, Record&& record);
    // Keeps the record's node for a later timer; its callback is released.
    void retire(Position record);
    int timeToNext(uint32_t now) const;

    std::list<Record> records_;
    // Nodes of fired and cancelled timers: arming a timer allocates no node once the loop runs.
    std::list<Record> spare_;
    uint32_t referenceTime_ = 0;
    TimerId lastId_ = 0;
};

// An owned timer slot: at most one armed timer, cancelled when re-armed or destroyed. Uses gTimers.
class Timer {
public:
    Timer() = default;
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer() { cancel(); }

    void start(const char* name, uint32_t delayMs, TimerCallback callback);
    void cancel();
    bool armed() const { return id_ != 0; }
    TimerId id() const { return id_; }

private:
    friend class TimerQueue;

    TimerId id_ = 0;
};
