#include "periph/thread_client.h"

#include "core/log.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {
const char kUnit[] = "flash";
} // namespace

void ThreadClient::onEvents(uint32_t) {
    char chunk[kReadChunk];
    ssize_t length = ::read(watchedFd(), chunk, sizeof chunk);
    if (length < 0) {
        if (errno != EAGAIN && errno != EINTR)
            LOG_MSG(LOG_ERR, kUnit, "error reading pipe: %s", strerror(errno));
        return;
    }
    if (length == 0) {
        // The worker is gone: nothing more will come.
        watch(watchedFd(), 0);
        return;
    }
    buffer_.append(chunk, static_cast<size_t>(length));
    for (size_t end; (end = buffer_.find('\n')) != std::string::npos;) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        processThreadResponse(line);
    }
}
