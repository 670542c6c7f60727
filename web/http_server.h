#pragma once
// The web server: HTTP/1.1 on libmicrohttpd, driven from the main loop in external-epoll mode.
//
// The main loop polls daemonEpollFd() beside the shared epoll set, with a time-out no longer than
// pollTimeoutMs() allows, and calls run() after every poll.

#include "core/epoller.h"
#include "platform/platform.h"
#include "web/api.h"
#include "web/authentication.h"
#include "web/dispatch.h"
#include "web/user_list.h"

#include <memory>
#include <string>

struct MHD_Daemon;
struct MHD_Connection;
class ApiDriveAccess;

class HTTP : public EPoller {
public:
    // Idle HTTP connections are closed after this long.
    static constexpr unsigned kConnectionTimeoutSeconds = 180;
    static constexpr unsigned kConnectionLimit = 70;
    static constexpr unsigned kPerIpConnectionLimit = 15;

    // ports.http: the HTTP listener (0 lets the system pick one; see httpPort). drive may be null.
    HTTP(const platform::Ports& ports, ApiDriveAccess* drive);
    ~HTTP() override;
    HTTP(const HTTP&) = delete;
    HTTP& operator=(const HTTP&) = delete;

    // Loads the users and starts the daemon; nothing when it already runs. False when it did not start.
    bool start();
    void stop();
    // One pass of libmicrohttpd; called after every poll of the main loop.
    void run();
    // The daemon's epoll descriptor, -1 without a daemon.
    int daemonEpollFd();
    // Milliseconds until libmicrohttpd must run even without traffic (idle connections time out);
    // -1 when it has nothing to time.
    int timeoutMs();
    // The main loop's poll time-out: the timer queue's (-1: none), shortened to libmicrohttpd's.
    int pollTimeoutMs(int timerTimeoutMs);
    // The port the HTTP listener is bound to, 0 without a daemon.
    int httpPort();

    Api& api() { return api_; }
    UserList& users() { return users_; }

    // For tests: idle connections close after this many seconds instead.
    void setConnectionTimeoutForTests(unsigned seconds) { connectionTimeout_ = seconds; }

    // libmicrohttpd's access handler (cls is the server): returns MHD_YES or MHD_NO.
    static int accessHandler(void* cls, MHD_Connection* connection, const char* url, const char* method,
                             const char* version, const char* uploadData, size_t* uploadSize,
                             void** perConnection);

private:
    platform::Ports ports_;
    UserList users_;
    Authentication auth_;
    Api api_;
    Dispatcher dispatcher_;
    MHD_Daemon* daemon_ = nullptr;
    unsigned connectionTimeout_ = kConnectionTimeoutSeconds;
};
