#include "platform/clock.h"

#include "platform/platform.h"

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

Clock& currentClock() {
    static SystemClock fallback;
    return gPlatform ? gPlatform->clock() : fallback;
}

} // namespace

uint32_t monotonicMs() {
    timespec now = currentClock().monotonic();
    uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

int monotonicSeconds() {
    return static_cast<int>(currentClock().monotonic().tv_sec);
}

time_t wallTime() {
    return currentClock().wallTime().tv_sec;
}

timeval wallTimeOfDay() {
    return currentClock().wallTime();
}

void sleepMs(unsigned ms) {
    currentClock().sleepMs(ms);
}

} // namespace platform
