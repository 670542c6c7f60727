#include "web/proxy.h"

#include "core/log.h"
#include "web/http2_session.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <nghttp2/nghttp2.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
const char kUnit[] = "http_server";
const size_t kReadBlock = 4096;
} // namespace

std::unique_ptr<Proxy> Proxy::connectTo(Http2Session& owner, int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        LOG_MSG(LOG_ERR, kUnit, "cannot create socket: %s", strerror(errno));
        return nullptr;
    }
    if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) != 0)
        LOG_MSG(LOG_ERR, kUnit, "cannot set NONBLOCK socket flag: %s", strerror(errno));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::unique_ptr<Proxy> proxy(new Proxy(owner, fd));
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        proxy->connected_ = true;
        proxy->watch(fd, EPOLLIN | EPOLLOUT);
        return proxy;
    }
    if (errno == EINPROGRESS) {
        proxy->watch(fd, EPOLLOUT);
        return proxy;
    }
    LOG_MSG(LOG_ERR, kUnit, "cannot connect: %s", strerror(errno));
    return nullptr;
}

Proxy::~Proxy() {
    watch(fd_, 0);
    ::close(fd_);
}

void Proxy::tearDown() {
    if (ended_)
        return;
    ended_ = true;
    watch(fd_, 0);
    owner_.relayEnded();
}

bool Proxy::flushToClient() {
    if (ended_)
        return false;
    if (toClient_.empty())
        return true;
    ssize_t count = owner_.tlsSend(reinterpret_cast<const uint8_t*>(toClient_.data()), toClient_.size());
    if (count == NGHTTP2_ERR_WOULDBLOCK)
        return true;
    if (count < 0) {
        tearDown();
        return false;
    }
    toClient_.erase(0, static_cast<size_t>(count));
    if (serverClosed_ && toClient_.empty()) {
        tearDown();
        return false;
    }
    if (toClient_.size() < kLowMark && connected_ && !serverClosed_)
        watch(fd_, watchedEvents() | EPOLLIN);
    return true;
}

void Proxy::sendToServer(const char* data, size_t size) {
    toServer_.append(data, size);
    if (connected_ && !ended_)
        watch(fd_, watchedEvents() | EPOLLOUT);
}

void Proxy::onEvents(uint32_t events) {
    if (ended_)
        return;
    if (!connected_) {
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
            LOG_MSG(LOG_ERR, kUnit, "getsockopt() error: %s", strerror(errno));
            tearDown();
            return;
        }
        if (error != 0) {
            LOG_MSG(LOG_ERR, kUnit, "cannot connect: %s", strerror(error));
            tearDown();
            return;
        }
        connected_ = true;
        watch(fd_, EPOLLIN | EPOLLOUT);
        return;
    }
    if (events & EPOLLOUT) {
        if (!toServer_.empty()) {
            ssize_t count = ::send(fd_, toServer_.data(), toServer_.size(), MSG_NOSIGNAL);
            if (count < 0 && errno != EAGAIN && errno != EINTR) {
                LOG_MSG(LOG_ERR, kUnit, "cannot write to server socket: %s", strerror(errno));
                tearDown();
                return;
            }
            if (count > 0)
                toServer_.erase(0, static_cast<size_t>(count));
        }
        if (toServer_.empty())
            watch(fd_, watchedEvents() & ~EPOLLOUT);
    }
    if (events & EPOLLIN) {
        char buffer[kReadBlock];
        ssize_t count = ::recv(fd_, buffer, sizeof buffer, 0);
        if (count == 0 && !toClient_.empty()) {
            serverClosed_ = true;
            watch(fd_, 0);
            return;
        }
        if (count <= 0 && !(count < 0 && (errno == EAGAIN || errno == EINTR))) {
            tearDown();
            return;
        }
        if (count > 0) {
            toClient_.append(buffer, static_cast<size_t>(count));
            if (!flushToClient())
                return;
            if (toClient_.size() > kHighMark)
                watch(fd_, watchedEvents() & ~EPOLLIN);
        }
        return;
    }
    if (events & (EPOLLERR | EPOLLHUP)) {
        LOG_MSG(LOG_ERR, kUnit, "client socket error (events=0x%x)", events);
        tearDown();
    }
}
