#include "platform/clock.h"

#include "platform/local_events.h"
#include "platform/platform.h"

#include <algorithm>
#include <cerrno>

namespace platform {

timespec SystemClock::monotonic() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now;
}

timeval SystemClock::wallTime() {
    timeval now{};
    gettimeofday(&now, nullptr);
    return now;
}

void SystemClock::sleepMs(unsigned ms) {
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

namespace {

constexpr uint64_t kUsPerMs = 1000;

// The shorter of a poll time-out and the time until a local source is ready (rounded up).
int untilLocal(int timeoutMs, LocalEvents& local) {
    uint64_t next = local.nextReadyUs();
    if (next == LocalSource::kNever)
        return timeoutMs;
    uint64_t now = local.nowUs();
    auto localMs = static_cast<int>(next <= now ? 0 : (next - now + kUsPerMs - 1) / kUsPerMs);
    return timeoutMs < 0 ? localMs : std::min(timeoutMs, localMs);
}

} // namespace

int Clock::pollFor(pollfd* set, nfds_t count, int timeoutMs) {
    return ::poll(set, count, timeoutMs);
}

int Clock::wait(pollfd* set, nfds_t count, int timeoutMs, int, LocalEvents& local) {
    bool localReady = local.anyReady();
    int ready = pollFor(set, count, localReady ? 0 : untilLocal(timeoutMs, local));
    if (ready < 0)
        return ready;
    if (localReady || local.anyReady()) {
        set[0].revents |= POLLIN;
        ++ready;
    }
    return ready;
}

namespace {

constexpr int64_t kUsPerSecond = 1000000;

} // namespace

uint64_t Clock::monotonicMilliseconds() {
    timespec now = monotonic();
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

timeval Clock::wallNow() {
    timeval source = wallTime();
    int64_t us = static_cast<int64_t>(source.tv_sec) * kUsPerSecond + source.tv_usec + wallOffsetUs_;
    timeval moved{};
    moved.tv_sec = static_cast<time_t>(us / kUsPerSecond);
    moved.tv_usec = static_cast<suseconds_t>(us % kUsPerSecond);
    return moved;
}

void Clock::setWallSeconds(time_t seconds) {
    timeval source = wallTime();
    wallOffsetUs_ = (static_cast<int64_t>(seconds) - static_cast<int64_t>(source.tv_sec)) * kUsPerSecond;
}

namespace {

Clock& currentClock() {
    static SystemClock fallback;
    return gPlatform ? gPlatform->clock() : fallback;
}

} // namespace

uint32_t monotonicMs() {
    return static_cast<uint32_t>(currentClock().monotonicMilliseconds());
}

int monotonicSeconds() {
    return static_cast<int>(currentClock().monotonic().tv_sec);
}

time_t wallTime() {
    return currentClock().wallNow().tv_sec;
}

timeval wallTimeOfDay() {
    return currentClock().wallNow();
}

void sleepMs(unsigned ms) {
    currentClock().sleepMs(ms);
}

} // namespace platform
