#include "platform/virtual_clock.h"

#include "platform/local_events.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace platform {

namespace {

timespec toTimespec(uint64_t us) {
    return timespec{static_cast<time_t>(us / 1000000u), static_cast<long>(us % 1000000u) * 1000L};
}

timeval toTimeval(uint64_t us) {
    return timeval{static_cast<time_t>(us / 1000000u), static_cast<suseconds_t>(us % 1000000u)};
}

uint64_t realMonotonicUs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

uint64_t realWallUs() {
    timeval now{};
    gettimeofday(&now, nullptr);
    return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_usec);
}

} // namespace

VirtualClock::VirtualClock(uint64_t startMs, time_t wallStart)
    : startUs_(startMs * 1000u), wallStart_(wallStart), nowUs_(startMs * 1000u) {}

timespec VirtualClock::monotonic() {
    return toTimespec(nowUs_);
}

timeval VirtualClock::wallTime() {
    return toTimeval(static_cast<uint64_t>(wallStart_) * 1000000u + (nowUs_ - startUs_));
}

void VirtualClock::sleepMs(unsigned ms) {
    advanceMs(ms);
}

void VirtualClock::advanceMs(uint64_t ms) {
    uint64_t target = nowUs_ + ms * 1000u;
    pacer_.runDue(nowUs_);
    while (nowUs_ < target)
        moveTo(target);
}

void VirtualClock::moveTo(uint64_t targetUs) {
    if (pacer_.holdUs() <= targetUs)
        pacer_.settle();
    // A worker that slept for less than it said wakes at once, never in the clock's past.
    uint64_t next = std::max<uint64_t>(nowUs_, std::min(targetUs, pacer_.nextWakeUs()));
    nowUs_ = next;
    pacer_.runDue(next);
}

uint64_t VirtualClock::realWaitUsFor(unsigned ms) {
    return std::min<uint64_t>(static_cast<uint64_t>(ms) * 1000u, kLookIntervalUs);
}

bool VirtualClock::timeToLook() {
    if (lastLookFoundReady_)
        return true;
    // Reading the real clock costs more than a pass that fires a timer: it is read every few passes.
    if (++passesSinceRealRead_ < kPassesPerRealRead)
        return false;
    passesSinceRealRead_ = 0;
    return realMonotonicUs() - lastLookUs_ >= kLookIntervalUs;
}

int VirtualClock::wait(pollfd* set, nfds_t count, int timeoutMs, int fireInMs, LocalEvents& local) {
    // A worker's first turn is due at the moment it was started.
    pacer_.runDue(nowUs_);
    bool localReady = local.anyReady();
    uint64_t localNext = local.nextReadyUs();
    uint64_t workerNext = pacer_.nextWakeUs();
    bool settle = !localReady && inFlight_ && inFlight_();
    bool idle = !localReady && fireInMs < 0 && localNext == LocalSource::kNever &&
                workerNext == WorkerPacer::kNever && !pacer_.anyRunning();
    int ready = 0;
    if (settle || idle || local.anyWriterWaiting() || timeToLook()) {
        // With nothing queued at all only a descriptor can bring the next event.
        ready = ::poll(set, count, settle ? kSettleWaitMs : (idle && timeoutMs < 0 ? -1 : 0));
        if (ready < 0)
            return ready;
        lastLookUs_ = realMonotonicUs();
        lastLookFoundReady_ = ready > 0;
    } else {
        for (nfds_t i = 0; i < count; ++i)
            set[i].revents = 0;
    }
    if (localReady) {
        set[0].revents |= POLLIN;
        return ready + 1;
    }
    if (ready > 0)
        return ready;
    // A timer fires once its expiry has passed by a millisecond: the jump goes to that moment, not to
    // the expiry itself, which would only cost a pass that fires nothing.
    uint64_t target = LocalSource::kNever;
    if (fireInMs >= 0)
        target = (nowUs_ / 1000u + static_cast<uint64_t>(fireInMs)) * 1000u;
    target = std::min({target, localNext, workerNext});
    if (target == LocalSource::kNever && pacer_.anyRunning()) {
        // Only the running worker can tell when the clock is next due somewhere.
        pacer_.settle();
        target = pacer_.nextWakeUs();
    }
    if (target != LocalSource::kNever && target > nowUs_)
        moveTo(target);
    pacer_.runDue(nowUs_);
    return 0;
}

ScaledClock::ScaledClock(double factor)
    : factor_(factor > 0 ? factor : 1.0), realMonotonicStartUs_(realMonotonicUs()),
      realWallStartUs_(realWallUs()) {}

uint64_t ScaledClock::scaledUs(uint64_t realUs, uint64_t realStartUs) const {
    return realStartUs + static_cast<uint64_t>(static_cast<double>(realUs - realStartUs) * factor_);
}

timespec ScaledClock::monotonic() {
    return toTimespec(scaledUs(realMonotonicUs(), realMonotonicStartUs_));
}

timeval ScaledClock::wallTime() {
    uint64_t sinceStart = realMonotonicUs() - realMonotonicStartUs_;
    return toTimeval(realWallStartUs_ + static_cast<uint64_t>(static_cast<double>(sinceStart) * factor_));
}

void ScaledClock::sleepMs(unsigned ms) {
    uint64_t realUs = static_cast<uint64_t>(std::ceil(ms * 1000.0 / factor_));
    timespec left = toTimespec(realUs);
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

uint64_t ScaledClock::realWaitUsFor(unsigned ms) {
    return static_cast<uint64_t>(std::ceil(ms * 1000.0 / factor_));
}

int ScaledClock::pollFor(pollfd* set, nfds_t count, int timeoutMs) {
    if (timeoutMs < 0)
        return ::ppoll(set, count, nullptr, nullptr);
    timespec wait = toTimespec(timeoutMs == 0 ? 0 : realWaitUsFor(static_cast<unsigned>(timeoutMs)));
    return ::ppoll(set, count, &wait, nullptr);
}

} // namespace platform
