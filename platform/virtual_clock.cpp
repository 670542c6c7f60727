#include "platform/virtual_clock.h"

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

int VirtualClock::realWaitMs(int timeoutMs) {
    if (timeoutMs < 0)
        return -1;
    return inFlight_ && inFlight_() ? kSettleWaitMs : 0;
}

void VirtualClock::waited(int timeoutMs, int readyCount) {
    // A timer fires once its expiry has passed by a millisecond: jump to that moment, not to the
    // expiry itself, which would only cost a pass that fires nothing.
    if (readyCount == 0 && timeoutMs >= 0)
        advanceMs(static_cast<uint64_t>(timeoutMs) + 1u);
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

int ScaledClock::realWaitMs(int timeoutMs) {
    if (timeoutMs <= 0)
        return timeoutMs;
    return static_cast<int>(std::ceil(timeoutMs / factor_));
}

} // namespace platform
