#include "core/epoller.h"

#include "core/log.h"
#include "platform/clock.h"
#include "platform/platform.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

const char kUnit[] = "epoller";
int epollFd = -1;

} // namespace

EPoller::~EPoller() {
    if (events_ != 0)
        watch(fd_, 0);
}

void EPoller::onEvents(uint32_t) {}

void EPoller::watch(int fd, uint32_t events) {
    if (fd != fd_) {
        if (events_ == 0) {
            fd_ = fd;
            if (events == 0)
                return;
        } else {
            watch(fd_, 0);
        }
    }
    fd_ = fd;
    if (events == events_)
        return;
    int operation = events_ == 0 ? EPOLL_CTL_ADD : (events == 0 ? EPOLL_CTL_DEL : EPOLL_CTL_MOD);
    epoll_event event{};
    event.events = events;
    event.data.ptr = this;
    if (epoll_ctl(epollFd, operation, fd, &event) != 0) {
        LOG_MSG(LOG_ERR, kUnit, "epoll_ctl() error: %s", strerror(errno));
        return;
    }
    bool wasWriting = (events_ & EPOLLOUT) != 0;
    bool writing = (events & EPOLLOUT) != 0;
    if (wasWriting != writing && platform::gPlatform)
        platform::gPlatform->localEvents().writerWaiting(writing);
    events_ = events;
}

bool EPoller::init() {
    epollFd = epoll_create(100);
    if (epollFd < 0) {
        LOG_MSG(LOG_ERR, kUnit, "cannot create epoll: %s", strerror(errno));
        return false;
    }
    // Children (PPP, shell pipes, the restart script) have no business with the daemon's set.
    fcntl(epollFd, F_SETFD, FD_CLOEXEC);
    return true;
}

void EPoller::shutdown() {
    if (epollFd >= 0)
        ::close(epollFd);
    epollFd = -1;
}

int EPoller::descriptor() {
    return epollFd;
}

void EPoller::dispatch(int timeoutMs) {
    // Local sources cannot keep the set waiting: each hands over what it has, and is then quiet.
    if (platform::gPlatform && platform::gPlatform->localEvents().dispatchOne())
        return;
    epoll_event event{};
    int count = epoll_wait(epollFd, &event, 1, timeoutMs);
    if (count < 0) {
        LOG_MSG(LOG_ERR, kUnit, "epoll_wait() error: %s", strerror(errno));
        platform::sleepMs(1);
        return;
    }
    if (count == 0)
        return;
    auto* owner = static_cast<EPoller*>(event.data.ptr);
    if (owner)
        owner->onEvents(event.events);
}
