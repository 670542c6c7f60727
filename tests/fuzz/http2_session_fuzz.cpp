// The HTTP/2 server session: after a real TLS handshake over a socket pair (ALPN "h2"), the input is
// sent as the client's bytes after the connection preface, through nghttp2 and our callbacks into the
// streams and the dispatch. The session answers or closes itself without harm, and the client's side
// is read throughout so nothing waits on a full socket.

#include "config/config.h"
#include "core/epoller.h"
#include "tests/fuzz/fuzz_board.h"
#include "web/api.h"
#include "web/api_drive_access.h"
#include "web/authentication.h"
#include "web/dispatch.h"
#include "web/http2_session.h"
#include "web/https_session_host.h"
#include "web/tls_context.h"
#include "web/user_list.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <netinet/in.h>
#include <openssl/err.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char kPreface[] = "PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n";
// Passes of the session's and the client's loops; far more than any input needs.
constexpr int kMaxPasses = 2000;
constexpr size_t kWriteBlock = 1024;

class NoDrive : public ApiDriveAccess {
public:
    void liveValues(JsonValue&, JsonValue&) override {}
    void queueDriveRequest(const std::vector<uint8_t>&) override {}
    void dynamograms(JsonValue&) override {}
};

// The server side: the dispatch and a session that closes by being marked, destroyed after its event.
class Host : public HttpsSessionHost {
public:
    Host() {
        FuzzBoard& board = FuzzBoard::get();
        writeWholeFile(board.path("/srv/www/index.html"), "<html>index</html>");
        writeWholeFile(board.path("/usr/share/velkord/users.txt"), "admin:secret:1:\n");
        std::string command = "/usr/bin/openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                              "-nodes -keyout " +
                              board.path("/usr/share/velkord/server.key") + " -out " +
                              board.path("/usr/share/velkord/server.cer") +
                              " -days 2 -subj /CN=velkord >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            fuzzFailure("openssl could not make the key and certificate");
        users.load();
        config = std::make_unique<Config>(board.path("/etc/velkord"), board.path("/etc/velkord_perf"));
        api = std::make_unique<Api>(authentication, config.get(), &drive);
        dispatch = std::make_unique<Dispatcher>(*api);
        serverContext = createServerTlsContext();
        clientContext = SSL_CTX_new(TLS_client_method());
        static const unsigned char kAlpn[] = {2, 'h', '2'};
        if (!serverContext || !clientContext ||
            SSL_CTX_set_alpn_protos(clientContext, kAlpn, sizeof kAlpn) != 0)
            fuzzFailure("no TLS contexts");
        SSL_CTX_set_verify(clientContext, SSL_VERIFY_NONE, nullptr);
    }

    Dispatcher& dispatcher() override { return *dispatch; }
    int relayPort() override { return 1; } // never used: the client always offers h2
    void closeSession(Http2Session*) override { closed = true; }

    UserList users;
    Authentication authentication{users, "fuzzing secret"};
    std::unique_ptr<Config> config;
    NoDrive drive;
    std::unique_ptr<Api> api;
    std::unique_ptr<Dispatcher> dispatch;
    SSL_CTX* serverContext = nullptr;
    SSL_CTX* clientContext = nullptr;
    bool closed = false;
};

// Reads whatever the server sent, so its writes never block.
void drain(SSL* client) {
    char buffer[16384];
    while (SSL_read(client, buffer, sizeof buffer) > 0) {
    }
    ERR_clear_error();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool loop = EPoller::init();
    static Host host;
    if (!loop)
        fuzzFailure("no epoll set");
    FuzzBoard::get().clearLog();
    host.closed = false;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) != 0)
        fuzzFailure("no socket pair");
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto session = std::make_unique<Http2Session>(host, host.serverContext, ends[1],
                                                  reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    SSL* client = SSL_new(host.clientContext);
    SSL_set_fd(client, ends[0]);
    SSL_set_connect_state(client);
    session->begin();
    for (int pass = 0; pass < kMaxPasses && !host.closed; ++pass) {
        int result = SSL_do_handshake(client);
        session->onEvents(EPOLLIN | EPOLLOUT);
        if (result == 1 && session->state() == Http2Session::kHttp2)
            break;
    }
    ERR_clear_error();
    if (!host.closed && session->state() != Http2Session::kHttp2)
        fuzzFailure("the TLS handshake did not complete");

    std::string bytes = kPreface;
    bytes.append(reinterpret_cast<const char*>(data), size);
    size_t sent = 0;
    for (int pass = 0; pass < kMaxPasses && !host.closed && sent < bytes.size(); ++pass) {
        int count = SSL_write(client, bytes.data() + sent,
                              static_cast<int>(std::min(kWriteBlock, bytes.size() - sent)));
        if (count > 0)
            sent += static_cast<size_t>(count);
        ERR_clear_error();
        session->onEvents(EPOLLIN | EPOLLOUT);
        drain(client);
    }
    for (int pass = 0; pass < 4 && !host.closed; ++pass) {
        session->onEvents(EPOLLIN | EPOLLOUT);
        drain(client);
    }
    session.reset();
    SSL_free(client);
    ::close(ends[0]);
    return 0;
}
