#include "tests/support/event_pump.h"

#include "core/epoller.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "platform/platform.h"

#include <chrono>
#include <poll.h>

namespace {

bool eventReady(int waitMs) {
    if (platform::gPlatform && platform::gPlatform->localEvents().anyReady())
        return true;
    pollfd set{EPoller::descriptor(), POLLIN, 0};
    return ::poll(&set, 1, waitMs) > 0;
}

} // namespace

int pumpEvents(int waitMs) {
    int handed = 0;
    while (eventReady(waitMs)) {
        EPoller::dispatch(0);
        ++handed;
    }
    return handed;
}

bool pumpUntil(const std::function<bool()>& predicate, int limitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!predicate()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        if (eventReady(10))
            EPoller::dispatch(0);
    }
    return true;
}

void runFor(TestBoard& board, uint32_t ms) {
    for (uint32_t i = 0; i < ms; ++i) {
        board.clock().advanceMs(1);
        if (gTimers)
            gTimers->runDue();
        pumpEvents(0);
    }
}

void runLoopFor(TestBoard& board, uint32_t ms) {
    platform::VirtualClock& clock = board.clock();
    uint64_t end = clock.elapsedMs() + ms;
    for (;;) {
        int timeoutMs = gTimers ? gTimers->runDue() : -1;
        uint64_t now = clock.elapsedMs();
        if (now >= end)
            return;
        auto left = static_cast<int>(end - now);
        if (timeoutMs < 0 || timeoutMs > left)
            timeoutMs = left;
        int fireInMs = gTimers ? gTimers->firingDelayMs() : -1;
        // The end of the run is a moment the clock must not jump past.
        if (fireInMs < 0 || fireInMs > left)
            fireInMs = left;
        pollfd set{EPoller::descriptor(), POLLIN, 0};
        int ready = clock.wait(&set, 1, timeoutMs, fireInMs, board.platform().localEvents());
        if (ready > 0 && set.revents != 0)
            EPoller::dispatch(0);
    }
}
