#pragma once
// The web server: HTTP/1.1 on libmicrohttpd, driven from the main loop in external-epoll mode, and
// HTTPS (HTTP/2, or HTTP/1.1 relayed to the local HTTP server) on a listener in the shared epoll set.
//
// The main loop polls daemonEpollFd() beside the shared epoll set, with a time-out no longer than
// pollTimeoutMs() allows, and after each poll calls runIfDue() with whether that descriptor was ready:
// libmicrohttpd runs (one epoll_wait of its own) only then or when its time-out has come.

#include "core/epoller.h"
#include "core/timer_queue.h"
#include "platform/platform.h"
#include "web/api.h"
#include "web/authentication.h"
#include "web/dispatch.h"
#include "web/http2_session.h"
#include "web/https_session_host.h"
#include "web/user_list.h"

#include <list>
#include <memory>
#include <openssl/ssl.h>
#include <string>

struct MHD_Daemon;
struct MHD_Connection;
class ApiDriveAccess;
class TimerQueue;

class HTTP : public EPoller, public HttpsSessionHost {
public:
    // Idle HTTP connections are closed after this long.
    static constexpr unsigned kConnectionTimeoutSeconds = 180;
    static constexpr unsigned kConnectionLimit = 70;
    static constexpr unsigned kPerIpConnectionLimit = 15;
    // HTTPS sessions at once; more are refused. A handshake must end within 10 s, and a session
    // without traffic for 180 s is closed.
    static constexpr size_t kMaxHttpsSessions = 16;
    static constexpr uint32_t kHandshakeTimeoutMs = 10000;
    static constexpr uint32_t kHttpsIdleTimeoutMs = 180000;
    static constexpr uint32_t kSessionSweepMs = 1000;

    // ports.http and ports.https: the listeners (0 lets the system pick one; see httpPort and
    // httpsPort). The TLS context is made here from the board's key and certificate; without them
    // HTTPS is not offered. config and drive may be null (see Api).
    HTTP(const platform::Ports& ports, TimerQueue& timers, Config* config, ApiDriveAccess* drive);
    ~HTTP() override;
    HTTP(const HTTP&) = delete;
    HTTP& operator=(const HTTP&) = delete;

    // Loads the users and starts the daemon; nothing when it already runs. False when it did not start.
    bool start();
    void stop();
    // One pass of libmicrohttpd.
    void run();
    // One pass of libmicrohttpd when its descriptor was ready or its time-out is due; otherwise
    // nothing, so a main-loop pass without web traffic costs no system call here.
    void runIfDue(bool ready);
    // The daemon's epoll descriptor, -1 without a daemon.
    int daemonEpollFd();
    // Milliseconds until libmicrohttpd must run even without traffic (idle connections time out);
    // -1 when it has nothing to time.
    int timeoutMs();
    // The main loop's poll time-out: the timer queue's (-1: none), shortened to libmicrohttpd's.
    int pollTimeoutMs(int timerTimeoutMs);
    // The port the HTTP listener is bound to, 0 without a daemon.
    int httpPort();
    // The port of the HTTPS listener, 0 without one.
    int httpsPort() const { return httpsPort_; }
    bool tlsReady() const { return tls_ != nullptr; }
    size_t httpsSessions() const { return sessions_.size(); }

    // Accepts one HTTPS connection.
    void onEvents(uint32_t events) override;

    Api& api() { return api_; }
    UserList& users() { return users_; }

    // For tests: idle connections close after this many seconds instead.
    void setConnectionTimeoutForTests(unsigned seconds) { connectionTimeout_ = seconds; }

    // libmicrohttpd's access handler (cls is the server): returns MHD_YES or MHD_NO.
    static int accessHandler(void* cls, MHD_Connection* connection, const char* url, const char* method,
                             const char* version, const char* uploadData, size_t* uploadSize,
                             void** perConnection);

private:
    void openHttpsListener();
    void closeHttpsListener();
    void sweepSessions();
    Dispatcher& dispatcher() override { return dispatcher_; }
    int relayPort() override { return httpPort(); }
    void closeSession(Http2Session* session) override;

    platform::Ports ports_;
    TimerQueue& timers_;
    SSL_CTX* tls_ = nullptr;
    int listenFd_ = -1;
    int httpsPort_ = 0;
    std::list<std::unique_ptr<Http2Session>> sessions_;
    TimerId sweepTimer_ = 0;
    uint32_t lastRefusalLogMs_ = 0;
    bool refusalLogged_ = false;
    UserList users_;
    Authentication auth_;
    Api api_;
    Dispatcher dispatcher_;
    MHD_Daemon* daemon_ = nullptr;
    unsigned connectionTimeout_ = kConnectionTimeoutSeconds;
};
