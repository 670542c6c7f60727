#include "platform/linux_platform.h"

#include <cerrno>
#include <fcntl.h>

namespace platform {

int LinuxWatchdog::open() {
    int fd = ::open(rootPath("/dev/watchdog").c_str(), O_WRONLY);
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

LinuxPlatform::LinuxPlatform() : Platform("", std::make_unique<SystemClock>()) {}

} // namespace platform
