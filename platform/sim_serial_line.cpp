#include "platform/sim_serial_line.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

SimSerialLine::SimSerialLine(std::string devicePath, std::string sandboxRoot)
    : devicePath_(std::move(devicePath)), linkPath_(sandboxRoot + devicePath_) {
    error_ = plugIn();
}

SimSerialLine::~SimSerialLine() {
    if (!ptyPath_.empty())
        ::unlink(linkPath_.c_str());
}

int SimSerialLine::hangUp() {
    slaveHolder_.reset();
    master_.reset();
    error_ = plugIn();
    return error_;
}

int SimSerialLine::plugIn() {
    UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!master)
        return errno;
    if (::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0)
        return errno;
    char name[64];
    if (::ptsname_r(master.get(), name, sizeof name) != 0)
        return errno;
    UniqueFd holder(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!holder)
        return errno;
    termios settings{};
    if (::tcgetattr(holder.get(), &settings) != 0)
        return errno;
    ::cfmakeraw(&settings);
    if (::tcsetattr(holder.get(), TCSANOW, &settings) != 0)
        return errno;
    if (::unlink(linkPath_.c_str()) != 0 && errno != ENOENT)
        return errno;
    if (::symlink(name, linkPath_.c_str()) != 0)
        return errno;
    master_ = std::move(master);
    slaveHolder_ = std::move(holder);
    ptyPath_ = name;
    return 0;
}

} // namespace platform
