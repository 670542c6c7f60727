#include "web/response.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

size_t ResponseFromMemory::read(char* buffer, size_t maxBytes, bool& end, bool&) {
    size_t count = std::min(maxBytes, body_.size() - position_);
    if (count == 0) {
        end = true;
        std::string().swap(body_);
        position_ = 0;
        return 0;
    }
    std::memcpy(buffer, body_.data() + position_, count);
    position_ += count;
    return count;
}

size_t ResponseFromFile::read(char* buffer, size_t maxBytes, bool& end, bool& error) {
    ssize_t count;
    do {
        count = ::read(fd_.get(), buffer, maxBytes);
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        error = true;
        return 0;
    }
    if (count == 0)
        end = true;
    return static_cast<size_t>(count);
}

int64_t ResponseFromFile::size() {
    struct stat status;
    if (fstat(fd_.get(), &status) != 0)
        return -1;
    return status.st_size;
}
