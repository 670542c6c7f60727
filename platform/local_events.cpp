#include "platform/local_events.h"

#include <algorithm>

namespace platform {

void LocalEvents::add(LocalSource* source) {
    if (std::find(sources_.begin(), sources_.end(), source) == sources_.end())
        sources_.push_back(source);
}

void LocalEvents::remove(LocalSource* source) {
    sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
}

uint64_t LocalEvents::nowUs() {
    timespec now = clock_.monotonic();
    return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

bool LocalEvents::anyReady() {
    if (sources_.empty())
        return false;
    uint64_t now = nowUs();
    return std::any_of(sources_.begin(), sources_.end(),
                       [now](LocalSource* source) { return source->readyEvents(now) != 0; });
}

uint64_t LocalEvents::nextReadyUs() {
    uint64_t next = LocalSource::kNever;
    for (LocalSource* source : sources_)
        next = std::min(next, source->nextReadyUs());
    return next;
}

bool LocalEvents::dispatchOne() {
    if (sources_.empty())
        return false;
    uint64_t now = nowUs();
    for (size_t i = 0; i < sources_.size(); ++i) {
        size_t index = (turn_ + i) % sources_.size();
        LocalSource* source = sources_[index];
        uint32_t events = source->readyEvents(now);
        if (events == 0)
            continue;
        turn_ = index + 1;
        // The owner may add or remove sources; nothing here is touched after the call.
        source->deliver(events);
        return true;
    }
    return false;
}

} // namespace platform
