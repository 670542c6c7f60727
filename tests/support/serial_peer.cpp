#include "tests/support/serial_peer.h"

#include <poll.h>
#include <unistd.h>

namespace {

bool readable(int fd, int waitMs) {
    pollfd set{fd, POLLIN, 0};
    return ::poll(&set, 1, waitMs) > 0 && (set.revents & POLLIN);
}

} // namespace

std::vector<uint8_t> SerialPeer::receive(int firstByteMs) {
    std::vector<uint8_t> bytes;
    int waitMs = firstByteMs;
    while (readable(fd_, waitMs)) {
        uint8_t chunk[512];
        ssize_t count = ::read(fd_, chunk, sizeof chunk);
        if (count <= 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + count);
        waitMs = 20;
    }
    return bytes;
}

bool SerialPeer::silent(int waitMs) {
    return !readable(fd_, waitMs);
}

bool SerialPeer::send(const std::vector<uint8_t>& bytes) {
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

bool SerialPeer::send(const std::string& text) {
    return send(std::vector<uint8_t>(text.begin(), text.end()));
}
