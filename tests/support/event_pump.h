#pragma once
// Driving the daemon's loop by hand in tests: ready descriptors of the shared epoll set and due timers
// of gTimers on the virtual clock.

#include "tests/support/test_board.h"

#include <cstdint>
#include <functional>

// Hands ready descriptors to their owners until none is ready within waitMs of real time; returns how
// many events were handed on.
int pumpEvents(int waitMs);

// Hands on events (waiting up to a second of real time at a stretch) until the predicate holds;
// false when it never did.
bool pumpUntil(const std::function<bool()>& predicate, int limitMs = 3000);

// Runs the daemon's loop for `ms` milliseconds of virtual time: due timers, then a poll that the
// board's virtual clock lets wait only while it says bytes are in flight, then the ready descriptor.
void runLoopFor(TestBoard& board, uint32_t ms);

// Moves the virtual clock `ms` milliseconds, one at a time, firing due timers and handing on the events
// that are ready without waiting.
void runFor(TestBoard& board, uint32_t ms);
