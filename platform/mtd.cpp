#include "platform/mtd.h"

#include "platform/platform.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

int Mtd::access(const char* device) const {
    struct stat info {};
    return ::stat(rootPath(device).c_str(), &info) == 0 ? 0 : errno;
}

int Mtd::open(const char* device, int flags, UniqueFd& fd) const {
    fd.reset(::open(rootPath(device).c_str(), flags | O_CLOEXEC));
    return fd ? 0 : errno;
}

} // namespace platform
