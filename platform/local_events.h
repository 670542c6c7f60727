#pragma once
// Readiness from inside the process: the simulated serial lines on the virtual clock have no
// descriptor, so the main loop asks them, alongside the shared epoll set, what is ready and when the
// next thing will be.

#include "platform/clock.h"

#include <cstdint>
#include <vector>

namespace platform {

class LocalSource {
public:
    virtual ~LocalSource() = default;

    // Events (epoll bits) ready at this moment of the clock, among those watched.
    virtual uint32_t readyEvents(uint64_t nowUs) = 0;
    // The moment (µs of the clock) something next becomes ready by itself; kNever when nothing will.
    virtual uint64_t nextReadyUs() = 0;
    // Hands ready events to the owner.
    virtual void deliver(uint32_t events) = 0;

    static constexpr uint64_t kNever = UINT64_MAX;
};

class LocalEvents {
public:
    explicit LocalEvents(Clock& clock) : clock_(clock) {}
    LocalEvents(const LocalEvents&) = delete;
    LocalEvents& operator=(const LocalEvents&) = delete;

    // A source is asked while it is added; adding twice or removing an unknown one changes nothing.
    void add(LocalSource* source);
    void remove(LocalSource* source);
    bool empty() const { return sources_.empty(); }

    bool anyReady();
    // The earliest moment a source becomes ready; LocalSource::kNever when none will.
    uint64_t nextReadyUs();
    // Hands the ready events of one source (taking turns) to its owner; false when none was ready.
    bool dispatchOne();

    uint64_t nowUs();

    // Descriptors of the shared set waiting to write: a clock that runs ahead must look at them at
    // once, as writing is never something to wait for.
    void writerWaiting(bool waiting) { writersWaiting_ += waiting ? 1 : -1; }
    bool anyWriterWaiting() const { return writersWaiting_ > 0; }

private:
    int writersWaiting_ = 0;
    Clock& clock_;
    std::vector<LocalSource*> sources_;
    size_t turn_ = 0;
};

} // namespace platform
