#include "platform/linux_platform.h"

#include <cerrno>
#include <fcntl.h>
#include <mtd/mtd-user.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {

int LinuxWatchdog::open() {
    int fd = ::open(rootPath("/dev/watchdog").c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    fd_.reset(fd);
    return 0;
}

void LinuxWatchdog::write(char byte) {
    if (fd_.valid() && ::write(fd_.get(), &byte, 1) < 0) {
        // Nothing to do: a keep-alive that does not arrive ends in a reset by the watchdog itself.
    }
}

namespace {

int regionIoctl(int fd, unsigned long request, uint32_t start, uint32_t length) {
    erase_info_user region{start, length};
    return ::ioctl(fd, request, &region) == 0 ? 0 : errno;
}

} // namespace

int LinuxMtd::unlock(int fd, uint32_t start, uint32_t length) {
    return regionIoctl(fd, MEMUNLOCK, start, length);
}

int LinuxMtd::erase(int fd, uint32_t start, uint32_t length) {
    return regionIoctl(fd, MEMERASE, start, length);
}

int LinuxMtd::lock(int fd, uint32_t start, uint32_t length) {
    return regionIoctl(fd, MEMLOCK, start, length);
}

LinuxPlatform::LinuxPlatform() : Platform("", std::make_unique<SystemClock>()) {}

} // namespace platform

