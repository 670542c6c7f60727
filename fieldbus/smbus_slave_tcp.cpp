#include "fieldbus/smbus_slave_tcp.h"

#include "core/log.h"
#include "fieldbus/smbus_slave_tcp_connection.h"
#include "platform/clock.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>

namespace {

const char kUnit[] = "smbus";

// A client that vanished without closing (a pulled cable) is found within about two minutes and its
// place freed.
constexpr int kKeepIdleSeconds = 60;
constexpr int kKeepIntervalSeconds = 10;
constexpr int kKeepProbes = 5;

bool setNonBlocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

void setOption(int fd, int level, int name, int value) {
    // Best effort: a client is served the same without them.
    ::setsockopt(fd, level, name, &value, sizeof value);
}

std::string peerName(const sockaddr_in& address) {
    char host[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &address.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(address.sin_port));
}

// Out of descriptors or memory for now: accepting again at once would fail again.
bool exhausted(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

} // namespace

SMBusSlaveTCP::SMBusSlaveTCP() = default;

SMBusSlaveTCP::~SMBusSlaveTCP() {
    acceptPause_.cancel();
    watch(socket_.get(), 0);
    socket_.reset();
    while (!connections_.empty())
        connections_.erase(connections_.begin());
}

void SMBusSlaveTCP::listen(int port) {
    platform::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) {
        LOG_MSG(LOG_ERR, kUnit, "SMBusSlaveTCP::listen(): не могу создать сокет: %s", strerror(errno));
        return;
    }
    int on = 1;
    if (::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        LOG_MSG(LOG_ERR, kUnit, "cannot set socket option: %s", strerror(errno));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        LOG_MSG(LOG_ERR, kUnit, "cannot bind socket: %s", strerror(errno));
        return;
    }
    socket_ = std::move(fd);
    if (::listen(socket_.get(), kBacklog) != 0) {
        LOG_MSG(LOG_ERR, kUnit, "cannot listen socket: %s", strerror(errno));
        return;
    }
    if (!setNonBlocking(socket_.get()))
        LOG_MSG(LOG_ERR, kUnit, "cannot set NONBLOCK socket flag: %s", strerror(errno));
    watch(socket_.get(), EPOLLIN);
}

int SMBusSlaveTCP::port() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (!socket_ || ::getsockname(socket_.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

size_t SMBusSlaveTCP::pendingOutput() const {
    size_t bytes = 0;
    for (const auto& entry : connections_)
        bytes += entry.second->pendingOutput();
    return bytes;
}

void SMBusSlaveTCP::setDriveStatus(const DriveStatus* status) {
    driveStatus_ = status;
    for (auto& entry : connections_)
        entry.second->setDriveStatus(status);
}

void SMBusSlaveTCP::onEvents(uint32_t) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    platform::UniqueFd client(
        ::accept4(socket_.get(), reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC));
    if (!client)
        return acceptFailed(errno);
    std::string peer = peerName(address);
    if (connections_.size() >= kMaxConnections)
        evictLongestIdle(peer);
    if (!setNonBlocking(client.get()))
        LOG_MSG(LOG_ERR, kUnit, "cannot set NONBLOCK socket flag: %s", strerror(errno));
    setOption(client.get(), IPPROTO_TCP, TCP_NODELAY, 1);
    setOption(client.get(), SOL_SOCKET, SO_KEEPALIVE, 1);
    setOption(client.get(), IPPROTO_TCP, TCP_KEEPIDLE, kKeepIdleSeconds);
    setOption(client.get(), IPPROTO_TCP, TCP_KEEPINTVL, kKeepIntervalSeconds);
    setOption(client.get(), IPPROTO_TCP, TCP_KEEPCNT, kKeepProbes);
    auto connection = std::make_unique<SMBusSlaveTCPConnection>(*this, std::move(client), std::move(peer));
    connection->setDriveStatus(driveStatus_);
    SMBusSlaveTCPConnection* key = connection.get();
    connections_.emplace(key, std::move(connection));
}

void SMBusSlaveTCP::acceptFailed(int error) {
    // Another readiness report raced this one, or the client gave up while it waited.
    if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR || error == ECONNABORTED)
        return;
    uint32_t suppressed = 0;
    if (acceptErrorLog_.allow(platform::monotonicMs(), suppressed))
        LOG_MSG(LOG_ERR, kUnit, "accept() error: %s", strerror(error));
    if (exhausted(error))
        pauseAccepting();
}

// As the Modbus messaging guide recommends: a full slave closes the connection that has been idle
// longest, so clients that connect and fall silent cannot lock the others out.
void SMBusSlaveTCP::evictLongestIdle(const std::string& newcomer) {
    uint32_t now = platform::monotonicMs();
    SMBusSlaveTCPConnection* idlest = nullptr;
    for (const auto& entry : connections_)
        if (!idlest || now - entry.second->lastActivityMs() > now - idlest->lastActivityMs())
            idlest = entry.second.get();
    if (!idlest)
        return;
    ++evicted_;
    uint32_t suppressed = 0;
    if (evictionLog_.allow(now, suppressed))
        LOG_MSG(LOG_WARNING, kUnit,
                "too many Modbus TCP connections (%zu): closed %s, idle for %u ms, to admit %s (%u more "
                "closed since the last report)",
                connections_.size(), idlest->peer().c_str(), now - idlest->lastActivityMs(), newcomer.c_str(),
                suppressed);
    remove(idlest);
}

void SMBusSlaveTCP::pauseAccepting() {
    watch(socket_.get(), 0);
    acceptPause_.start("accept_pause", kAcceptPauseMs, [this] { watch(socket_.get(), EPOLLIN); });
}

void SMBusSlaveTCP::remove(SMBusSlaveTCPConnection* connection) {
    connections_.erase(connection);
}
