#include "core/timer_queue.h"

#include "core/registry.h"
#include "platform/clock.h"

#include <algorithm>

TimerId TimerQueue::add(const char* name, uint32_t delayMs, TimerCallback callback) {
    return add(name, delayMs, std::move(callback), nullptr);
}

void TimerQueue::place(Position position, Record&& record) {
    if (spare_.empty()) {
        records_.insert(position, std::move(record));
        return;
    }
    records_.splice(position, spare_, spare_.begin());
    *std::prev(position) = std::move(record);
}

void TimerQueue::retire(Position record) {
    record->callback = nullptr;
    record->owner = nullptr;
    spare_.splice(spare_.begin(), records_, record);
}

TimerId TimerQueue::add(const char* name, uint32_t delayMs, TimerCallback callback, Timer* owner) {
    uint32_t now = platform::monotonicMs();
    TimerId id = lastId_ + 1;
    if (id == 0)
        id = 1;
    lastId_ = id;

    if (records_.empty()) {
        referenceTime_ = now;
        place(records_.end(), Record{id, delayMs, name, std::move(callback), owner});
        return id;
    }
    // Equal expiries go behind the queued ones, so they fire in the order they were armed.
    uint32_t rel = delayMs + (now - referenceTime_);
    for (auto it = records_.begin(); it != records_.end(); ++it) {
        if (it->delta > rel) {
            it->delta -= rel;
            place(it, Record{id, rel, name, std::move(callback), owner});
            return id;
        }
        rel -= it->delta;
    }
    place(records_.end(), Record{id, rel, name, std::move(callback), owner});
    return id;
}

void TimerQueue::cancel(TimerId id) {
    if (id == 0)
        return;
    auto it = std::find_if(records_.begin(), records_.end(), [id](const Record& r) { return r.id == id; });
    if (it == records_.end())
        return;
    auto follower = std::next(it);
    if (follower != records_.end())
        follower->delta += it->delta;
    retire(it);
}

bool TimerQueue::isQueued(TimerId id) const {
    return std::any_of(records_.begin(), records_.end(), [id](const Record& r) { return r.id == id; });
}

int TimerQueue::timeToNext(uint32_t now) const {
    if (records_.empty())
        return -1;
    auto left = static_cast<int>(referenceTime_ + records_.front().delta - now);
    return left == 0 ? 1 : left;
}

int TimerQueue::firingDelayMs() const {
    if (records_.empty())
        return -1;
    auto left = static_cast<int>(referenceTime_ + records_.front().delta - platform::monotonicMs());
    return left < 0 ? 0 : left + 1;
}

int TimerQueue::runDue() {
    if (records_.empty())
        return -1;
    uint32_t now = platform::monotonicMs();
    uint32_t elapsed = now - referenceTime_;
    if (quit)
        return timeToNext(now);
    while (!records_.empty() && elapsed > records_.front().delta) {
        Record& due = records_.front();
        referenceTime_ += due.delta;
        TimerCallback callback = std::move(due.callback);
        if (due.owner)
            due.owner->id_ = 0;
        retire(records_.begin());
        // The record is out of the list: the callback may add or cancel timers, itself included.
        if (callback)
            callback();
        now = platform::monotonicMs();
        elapsed = now - referenceTime_;
        if (quit)
            break;
    }
    return timeToNext(now);
}

void Timer::start(const char* name, uint32_t delayMs, TimerCallback callback) {
    cancel();
    if (!gTimers)
        return;
    id_ = gTimers->add(name, delayMs, std::move(callback), this);
}

void Timer::cancel() {
    if (id_ != 0 && gTimers)
        gTimers->cancel(id_);
    id_ = 0;
}
