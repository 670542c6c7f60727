#include "platform/platform.h"

#include <atomic>
#include <pthread.h>
#include <syslog.h>
#include <unistd.h>

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

namespace {

std::atomic<pid_t> gProcessId{0};

void forgetProcessId() {
    gProcessId = 0;
}

} // namespace

pid_t processId() {
    pid_t known = gProcessId.load();
    if (known != 0)
        return known;
    static const int registered = pthread_atfork(nullptr, nullptr, forgetProcessId);
    (void)registered;
    known = ::getpid();
    gProcessId = known;
    return known;
}

} // namespace platform
