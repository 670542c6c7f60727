#pragma once
// Base of every object that owns a descriptor in the one shared epoll set of the process.

#include <cstdint>

class EPoller {
public:
    EPoller() = default;
    EPoller(const EPoller&) = delete;
    EPoller& operator=(const EPoller&) = delete;
    // Leaves the epoll set; the owner closes its descriptor itself.
    virtual ~EPoller();

    // Ready events of the watched descriptor (may include EPOLLERR and EPOLLHUP).
    virtual void onEvents(uint32_t events);

    // Makes this object's registration (fd, events); events 0 removes it. No system call when
    // nothing changes.
    void watch(int fd, uint32_t events);

    int watchedFd() const { return fd_; }
    uint32_t watchedEvents() const { return events_; }

    // Creates the shared set (epoll_create(100)); false and a log line on failure.
    static bool init();
    static void shutdown();
    // The shared set's descriptor, -1 when there is none.
    static int descriptor();
    // Waits up to timeoutMs for one ready descriptor and hands its events to the owner. A ready
    // source inside the process (the platform's LocalEvents) goes first, without a system call.
    static void dispatch(int timeoutMs);

private:
    uint32_t events_ = 0;
    int fd_ = -1;
};
