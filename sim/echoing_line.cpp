#include "sim/echoing_line.h"

#include <cerrno>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

constexpr size_t kChunk = 512;

// Best effort, as on a wire: what a full pty does not take is lost.
void writeAll(int fd, const uint8_t* data, size_t length) {
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::write(fd, data + done, length - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

// Reads what is there now; 0 when nothing (or the far side is gone).
size_t readAvailable(int fd, uint8_t* buffer, size_t size) {
    for (;;) {
        ssize_t n = ::read(fd, buffer, size);
        if (n < 0 && errno == EINTR)
            continue;
        return n > 0 ? static_cast<size_t>(n) : 0;
    }
}

} // namespace

EchoingLine::End::End(int fd, std::function<void()> onReadable)
    : fd_(fd), onReadable_(std::move(onReadable)) {
    if (fd_ >= 0)
        watch(fd_, EPOLLIN);
}

EchoingLine::End::~End() {
    watch(fd_, 0);
}

void EchoingLine::End::onEvents(uint32_t events) {
    if (events & EPOLLIN) {
        onReadable_();
        return;
    }
    // A hang-up with nothing to read (the other side closed): stop watching until it is reopened.
    if (events & (EPOLLERR | EPOLLHUP))
        watch(fd_, 0);
}

EchoingLine::EchoingLine(int slaveLineFarEnd, const std::string& masterPath, const std::string& sandboxRoot)
    : slaveFd_(slaveLineFarEnd), masterLine_(masterPath, sandboxRoot),
      slaveEnd_(slaveLineFarEnd, [this] { relayFromSlave(); }),
      masterEnd_(masterLine_.farEnd(), [this] { relayFromMaster(); }) {}

void EchoingLine::relayFromSlave() {
    uint8_t chunk[kChunk];
    size_t length = readAvailable(slaveFd_, chunk, sizeof chunk);
    if (length == 0)
        return;
    fromSlave_ += length;
    writeAll(slaveFd_, chunk, length);
    writeAll(masterLine_.farEnd(), chunk, length);
}

void EchoingLine::relayFromMaster() {
    uint8_t chunk[kChunk];
    size_t length = readAvailable(masterLine_.farEnd(), chunk, sizeof chunk);
    if (length == 0)
        return;
    fromMaster_ += length;
    writeAll(slaveFd_, chunk, length);
}
