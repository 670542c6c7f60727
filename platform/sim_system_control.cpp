#include "platform/sim_system_control.h"

#include "platform/clock.h"
#include "platform/platform.h"
#include "platform/unique_fd.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace platform {

int SimSystemControl::setWallTime(time_t seconds) {
    clock_.setWallSeconds(seconds);
    return 0;
}

std::string SimSystemControl::rtcText(const tm& utc) {
    char text[64];
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC\n", &utc);
    return text;
}

RtcWrite SimSystemControl::writeRtc(const tm& utc) {
    std::string path = rootPath("/dev/rtc");
    // Opened read-only first, as the device is: a missing stand-in fails here.
    UniqueFd device(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!device)
        return {RtcWrite::kOpenFailed, errno};
    UniqueFd record(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (!record)
        return {RtcWrite::kSetFailed, errno};
    std::string text = rtcText(utc);
    if (::write(record.get(), text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        return {RtcWrite::kSetFailed, errno ? errno : EIO};
    return {};
}

int SimSystemControl::request(PowerAction action) {
    if (forkError_)
        return forkError_;
    if (action == PowerAction::kRestart)
        ++restarts_;
    else
        ++reboots_;
    if (listener_)
        listener_(action);
    return 0;
}

} // namespace platform
