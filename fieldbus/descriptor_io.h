#pragma once
// Non-blocking reads and writes of the field bus descriptors (serial ports and sockets), with the
// retryable errors (EAGAIN, EINTR) told apart from real failures.

#include "fieldbus/bytes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <sys/types.h>

struct IoOutcome {
    enum Kind {
        kDone,    // read: `length` bytes arrived; write: everything pending was written
        kPartial, // write: some bytes were written (and dropped from the pending ones), more wait
        kRetry,   // nothing happened now; try again on the next readiness
        kEnd,     // read: end of stream
        kFailed,  // `error` holds errno
    };
    Kind kind;
    size_t length = 0;
    int error = 0;
};

// One read of at most `size` bytes.
IoOutcome readSome(int fd, uint8_t* buffer, size_t size);
// Writes what the descriptor takes of `pending` and drops it from there. A socket is written with
// send(MSG_NOSIGNAL), so a peer that has gone is an error and not a signal.
IoOutcome writePending(int fd, Bytes& pending);
IoOutcome sendPending(int fd, Bytes& pending);

// The outcome of one read(2)-like call (errno is read on failure).
IoOutcome readOutcome(ssize_t received);
// Writes what `write` (a write(2)-like call) takes of `pending` and drops it from there.
IoOutcome drainPending(Bytes& pending, const std::function<ssize_t(const uint8_t*, size_t)>& write);
