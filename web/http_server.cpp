#include "web/http_server.h"

#include "core/log.h"
#include "web/mhd_connection.h"
#include "web/server_secret.h"
#include "web/tls_context.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <microhttpd.h>
#include <strings.h>

namespace {

const char kUnit[] = "http_server";
const int kListenBacklog = 5;
const uint32_t kRefusalLogIntervalMs = 60000;

void forwardLibraryLog(void*, const char* format, va_list arguments) {
    logVPrintf(LOG_ERR, format, arguments);
}

void requestCompleted(void*, MHD_Connection*, void** perConnection, MHD_RequestTerminationCode) {
    delete static_cast<MhdConnection*>(*perConnection);
    *perConnection = nullptr;
}

MHD_Result accessHandlerThunk(void* cls, MHD_Connection* connection, const char* url, const char* method,
                              const char* version, const char* uploadData, size_t* uploadSize,
                              void** perConnection);

} // namespace

HTTP::HTTP(const platform::Ports& ports, TimerQueue& timers, Config* config, ApiDriveAccess* drive)
    : ports_(ports), timers_(timers), auth_(users_, makeServerSecret()), api_(auth_, config, drive),
      dispatcher_(api_) {
    tls_ = createServerTlsContext();
}

HTTP::~HTTP() {
    stop();
    if (tls_)
        SSL_CTX_free(tls_);
}

bool HTTP::start() {
    if (daemon_)
        return true;
    users_.load();
    const unsigned flags = MHD_USE_DUAL_STACK | MHD_USE_EPOLL | MHD_USE_ERROR_LOG;
    daemon_ = MHD_start_daemon(
        flags, static_cast<uint16_t>(ports_.http), nullptr, nullptr, accessHandlerThunk, this,
        MHD_OPTION_NOTIFY_COMPLETED, requestCompleted, nullptr, MHD_OPTION_CONNECTION_TIMEOUT,
        connectionTimeout_, MHD_OPTION_CONNECTION_LIMIT, kConnectionLimit, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
        kPerIpConnectionLimit, MHD_OPTION_EXTERNAL_LOGGER, forwardLibraryLog, nullptr, MHD_OPTION_END);
    if (daemon_)
        LOG_MSG(LOG_INFO, kUnit, "HTTP daemon created");
    else
        LOG_MSG(LOG_ERR, kUnit, "cannot create HTTP daemon");
    openHttpsListener();
    return daemon_ != nullptr;
}

void HTTP::stop() {
    if (sweepTimer_)
        timers_.cancel(sweepTimer_);
    sweepTimer_ = 0;
    sessions_.clear();
    closeHttpsListener();
    if (!daemon_)
        return;
    MHD_stop_daemon(daemon_);
    daemon_ = nullptr;
}

void HTTP::openHttpsListener() {
    if (!tls_ || listenFd_ >= 0)
        return;
    int fd = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        LOG_MSG(LOG_ERR, kUnit, "cannot create socket: %s", strerror(errno));
        return;
    }
    int one = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0)
        LOG_MSG(LOG_ERR, kUnit, "cannot set SO_REUSEADDR option: %s", strerror(errno));
    int zero = 0;
    // IPv4 clients arrive as mapped addresses.
    if (setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &zero, sizeof zero) != 0)
        LOG_MSG(LOG_ERR, kUnit, "cannot drop IPV6_V6ONLY option: %s", strerror(errno));
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_any;
    address.sin6_port = htons(static_cast<uint16_t>(ports_.https));
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        LOG_MSG(LOG_ERR, kUnit, "cannot bind socket: %s", strerror(errno));
        ::close(fd);
        return;
    }
    if (listen(fd, kListenBacklog) != 0) {
        LOG_MSG(LOG_ERR, kUnit, "cannot listen socket: %s", strerror(errno));
        ::close(fd);
        return;
    }
    if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) != 0)
        LOG_MSG(LOG_ERR, kUnit, "cannot set NONBLOCK socket flag: %s", strerror(errno));
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    httpsPort_ = ntohs(address.sin6_port);
    listenFd_ = fd;
    watch(fd, EPOLLIN);
}

void HTTP::closeHttpsListener() {
    if (listenFd_ < 0)
        return;
    watch(listenFd_, 0);
    ::close(listenFd_);
    listenFd_ = -1;
    httpsPort_ = 0;
}

void HTTP::onEvents(uint32_t) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
    if (fd < 0) {
        LOG_MSG(LOG_ERR, kUnit, "accept() error: %s", strerror(errno));
        return;
    }
    if (sessions_.size() >= kMaxHttpsSessions) {
        ::close(fd);
        uint32_t now = platform::monotonicMs();
        if (!refusalLogged_ || now - lastRefusalLogMs_ >= kRefusalLogIntervalMs) {
            LOG_MSG(LOG_WARNING, kUnit, "too many HTTPS sessions (%zu): connection refused",
                    sessions_.size());
            refusalLogged_ = true;
            lastRefusalLogMs_ = now;
        }
        return;
    }
    if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) != 0)
        LOG_MSG(LOG_ERR, kUnit, "cannot set NONBLOCK socket flag: %s", strerror(errno));
    auto session =
        std::make_unique<Http2Session>(*this, tls_, fd, reinterpret_cast<sockaddr*>(&address), length);
    if (!session->ok())
        return; // its destructor closed the socket
    Http2Session* started = session.get();
    sessions_.push_back(std::move(session));
    if (!sweepTimer_)
        sweepTimer_ = timers_.add("https_sessions", kSessionSweepMs, [this] { sweepSessions(); });
    started->begin();
}

void HTTP::closeSession(Http2Session* session) {
    for (auto it = sessions_.begin(); it != sessions_.end(); ++it) {
        if (it->get() == session) {
            sessions_.erase(it);
            return;
        }
    }
}

void HTTP::sweepSessions() {
    sweepTimer_ = 0;
    uint32_t now = platform::monotonicMs();
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        Http2Session& session = **it;
        bool handshakeOver =
            session.state() == Http2Session::kHandshake && now - session.acceptedMs() >= kHandshakeTimeoutMs;
        bool idle = now - session.lastActivityMs() >= kHttpsIdleTimeoutMs;
        if (handshakeOver || idle)
            it = sessions_.erase(it);
        else
            ++it;
    }
    if (!sessions_.empty())
        sweepTimer_ = timers_.add("https_sessions", kSessionSweepMs, [this] { sweepSessions(); });
}

void HTTP::run() {
    if (daemon_)
        MHD_run(daemon_);
}

void HTTP::runIfDue(bool ready) {
    if (ready || timeoutMs() == 0)
        run();
}

int HTTP::daemonEpollFd() {
    if (!daemon_)
        return -1;
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_EPOLL_FD);
    if (!info || info == reinterpret_cast<const MHD_DaemonInfo*>(~uintptr_t(0))) {
        LOG_MSG(LOG_ERR, kUnit, "error: cannot ger epoll socket from libmicrohttpd");
        return -1;
    }
    return info->epoll_fd;
}

int HTTP::timeoutMs() {
    if (!daemon_)
        return -1;
    MHD_UNSIGNED_LONG_LONG timeout = 0;
    if (MHD_get_timeout(daemon_, &timeout) != MHD_YES)
        return -1;
    return timeout > static_cast<MHD_UNSIGNED_LONG_LONG>(INT_MAX) ? INT_MAX : static_cast<int>(timeout);
}

int HTTP::pollTimeoutMs(int timerTimeoutMs) {
    int library = timeoutMs();
    if (library < 0)
        return timerTimeoutMs;
    if (timerTimeoutMs < 0)
        return library;
    return std::min(timerTimeoutMs, library);
}

int HTTP::httpPort() {
    if (!daemon_)
        return 0;
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
    return info ? info->port : 0;
}

int HTTP::accessHandler(void* cls, MHD_Connection* connection, const char* url, const char* method,
                        const char* version, const char* uploadData, size_t* uploadSize,
                        void** perConnection) {
    auto* server = static_cast<HTTP*>(cls);
    auto* transaction = static_cast<MhdConnection*>(*perConnection);
    if (!transaction) {
        transaction = new (std::nothrow) MhdConnection(connection);
        if (!transaction)
            return MHD_NO;
        *perConnection = transaction;
        if (strcasecmp(method, "POST") != 0)
            transaction->collectArguments();
        else
            transaction->startPostProcessor(); // none for bodies that are not form-encoded
        return MHD_YES;
    }
    transaction->collectHeadersAndCookies();
    if (*uploadSize == 0)
        return server->dispatcher_.dispatch(*transaction, url, method, version) ? MHD_YES : MHD_NO;
    if (transaction->postProcessor()) {
        MHD_Result result = MHD_post_process(transaction->postProcessor(), uploadData, *uploadSize);
        *uploadSize = 0;
        return result;
    }
    if (!transaction->addJsonBody(uploadData, *uploadSize))
        return MHD_NO;
    *uploadSize = 0;
    return MHD_YES;
}

namespace {

MHD_Result accessHandlerThunk(void* cls, MHD_Connection* connection, const char* url, const char* method,
                              const char* version, const char* uploadData, size_t* uploadSize,
                              void** perConnection) {
    return static_cast<MHD_Result>(
        HTTP::accessHandler(cls, connection, url, method, version, uploadData, uploadSize, perConnection));
}

} // namespace
