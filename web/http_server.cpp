#include "web/http_server.h"

#include "core/log.h"
#include "web/mhd_connection.h"
#include "web/server_secret.h"

#include <climits>
#include <cstring>
#include <microhttpd.h>
#include <strings.h>

namespace {

const char kUnit[] = "http_server";

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

HTTP::HTTP(const platform::Ports& ports, ApiDriveAccess* drive)
    : ports_(ports), auth_(users_, makeServerSecret()), api_(auth_, drive), dispatcher_(api_) {}

HTTP::~HTTP() {
    stop();
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
    if (!daemon_) {
        LOG_MSG(LOG_ERR, kUnit, "cannot create HTTP daemon");
        return false;
    }
    LOG_MSG(LOG_INFO, kUnit, "HTTP daemon created");
    return true;
}

void HTTP::stop() {
    if (!daemon_)
        return;
    MHD_stop_daemon(daemon_);
    daemon_ = nullptr;
}

void HTTP::run() {
    if (daemon_)
        MHD_run(daemon_);
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
