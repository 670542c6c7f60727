#include "platform/platform.h"

#include <syslog.h>

namespace platform {

Platform* gPlatform = nullptr;

Platform::Platform(std::string root, std::unique_ptr<Clock> clock)
    : root_(std::move(root)), clock_(clock ? std::move(clock) : std::make_unique<SystemClock>()),
      localEvents_(*clock_) {}

void Platform::toSystemLog(int priority, const std::string& line) {
    ::syslog(priority, "%s", line.c_str());
}

void Platform::log(int priority, const std::string& line) {
    toSystemLog(priority, line);
    std::lock_guard<std::mutex> lock(observerMutex_);
    if (observer_)
        observer_(priority, line);
}

void Platform::setLogObserver(LogObserver observer) {
    std::lock_guard<std::mutex> lock(observerMutex_);
    observer_ = std::move(observer);
}

std::string rootPath(const char* absolutePath) {
    if (!gPlatform || gPlatform->root().empty())
        return absolutePath;
    return gPlatform->root() + absolutePath;
}

std::string rootPath(const std::string& absolutePath) {
    return rootPath(absolutePath.c_str());
}

} // namespace platform
