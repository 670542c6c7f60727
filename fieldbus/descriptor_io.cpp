#include "fieldbus/descriptor_io.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool retryable(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

template <typename Writer> IoOutcome drain(Bytes& pending, Writer write) {
    if (pending.empty())
        return {IoOutcome::kDone};
    ssize_t written = write(pending.data(), pending.size());
    if (written < 0)
        return retryable(errno) ? IoOutcome{IoOutcome::kRetry} : IoOutcome{IoOutcome::kFailed, 0, errno};
    auto count = static_cast<size_t>(written);
    if (count < pending.size()) {
        pending.erase(pending.begin(), pending.begin() + static_cast<ptrdiff_t>(count));
        return {IoOutcome::kPartial, count};
    }
    pending.clear();
    return {IoOutcome::kDone, count};
}

} // namespace

IoOutcome readSome(int fd, uint8_t* buffer, size_t size) {
    return readOutcome(::read(fd, buffer, size));
}

IoOutcome drainPending(Bytes& pending, const std::function<ssize_t(const uint8_t*, size_t)>& write) {
    return drain(pending, write);
}

IoOutcome readOutcome(ssize_t received) {
    if (received < 0)
        return retryable(errno) ? IoOutcome{IoOutcome::kRetry} : IoOutcome{IoOutcome::kFailed, 0, errno};
    if (received == 0)
        return {IoOutcome::kEnd};
    return {IoOutcome::kDone, static_cast<size_t>(received)};
}

IoOutcome writePending(int fd, Bytes& pending) {
    return drain(pending, [fd](const uint8_t* data, size_t size) { return ::write(fd, data, size); });
}

IoOutcome sendPending(int fd, Bytes& pending) {
    return drain(pending,
                 [fd](const uint8_t* data, size_t size) { return ::send(fd, data, size, MSG_NOSIGNAL); });
}
