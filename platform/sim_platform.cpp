#include "platform/sim_platform.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace platform {

int SimWatchdog::open() {
    UniqueFd fd(::open(rootPath("/dev/watchdog").c_str(), O_WRONLY | O_CLOEXEC));
    if (!fd)
        return errno;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? EBUSY : errno;
    fd_ = std::move(fd);
    return 0;
}

void SimWatchdog::write(char byte) {
    if (!fd_)
        return;
    if (::pwrite(fd_.get(), &byte, 1, 0) == 1)
        ++bytesWritten_;
}

SimPlatform::SimPlatform(std::string sandboxRoot, std::unique_ptr<Clock> clock)
    : Platform(std::move(sandboxRoot), std::move(clock)) {}

} // namespace platform
