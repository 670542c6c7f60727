#include "tests/support/peers.h"
#include "tests/support/process.h"
#include "tests/web/api_fixture.h"
#include "tests/web/curl_loop.h"
#include "web/http_server.h"
#include "web/tls_context.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace {

class Https : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_PEERS(kCurl);
        REQUIRE_PEERS(kNghttp2Client);
        REQUIRE_PEERS(kOpenssl);
        // As in the daemon: a client gone while an answer is written is an error return, not a signal.
        signal(SIGPIPE, SIG_IGN);
        ASSERT_TRUE(EPoller::init());
        mkdir(board.path("/srv").c_str(), 0755);
        mkdir(board.path("/srv/www").c_str(), 0755);
        mkdir(board.path("/usr/share/velkord").c_str(), 0755);
        writeFile(board.path("/srv/www/index.html"), "<html>home</html>");
        writeFile(board.path("/usr/share/velkord/users.txt"),
                  "admin:secret:1:full\nviewer:look:0:read only\n");
        Process openssl({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                         "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                         board.path("/usr/share/velkord/server.key"), "-out",
                         board.path("/usr/share/velkord/server.cer"), "-days", "2", "-subj", "/CN=velkord"},
                        board.path("/tmp/openssl.log"));
        ASSERT_EQ(openssl.wait(20000), 0) << readFile(board.path("/tmp/openssl.log"));
        platform::Ports ports;
        ports.http = 0;
        ports.https = 0;
        server = std::make_unique<HTTP>(ports, timers, nullptr, &drive);
        ASSERT_TRUE(server->tlsReady());
        ASSERT_TRUE(server->start());
        ASSERT_GT(server->httpsPort(), 0);
        base = "https://127.0.0.1:" + std::to_string(server->httpsPort());
        hostPort = "127.0.0.1:" + std::to_string(server->httpsPort());
    }
    void TearDown() override {
        server.reset();
        EPoller::shutdown();
    }

    // A plain TCP connection to the HTTPS port that never starts a handshake.
    int connectRaw() {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(server->httpsPort()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(fd);
            return -1;
        }
        return fd;
    }
    // The peer closed the connection (whatever it sent before, such as a TLS close alert, is skipped).
    static bool closedByPeer(int fd) {
        char buffer[4096];
        for (;;) {
            pollfd check{fd, POLLIN, 0};
            if (poll(&check, 1, 100) != 1)
                return false;
            ssize_t count = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (count <= 0)
                return count == 0 || errno == ECONNRESET;
        }
    }

    // A TLS client in this thread: connects and finishes its handshake while the server is served.
    struct TlsClient {
        SSL_CTX* context = nullptr;
        SSL* tls = nullptr;
        int fd = -1;
        ~TlsClient() {
            if (tls)
                SSL_free(tls);
            if (context)
                SSL_CTX_free(context);
            if (fd >= 0)
                close(fd);
        }
    };
    bool handshake(TlsClient& client, const std::string& protocol) {
        client.fd = connectRaw();
        client.context = SSL_CTX_new(TLS_client_method());
        client.tls = SSL_new(client.context);
        std::string alpn = std::string(1, static_cast<char>(protocol.size())) + protocol;
        SSL_set_alpn_protos(client.tls, reinterpret_cast<const unsigned char*>(alpn.data()),
                            static_cast<unsigned>(alpn.size()));
        SSL_set_fd(client.tls, client.fd);
        fcntl(client.fd, F_SETFL, O_NONBLOCK);
        for (int i = 0; i < 200; ++i) {
            if (SSL_connect(client.tls) == 1)
                return true;
            serveOnce(*server, 5);
        }
        return false;
    }

    TestBoard board;
    TimerQueue timers;
    RecordingDrive drive;
    std::unique_ptr<HTTP> server;
    std::string base;
    std::string hostPort;
};

const char kLoginAdmin[] = "{\"cmd\":\"login\",\"login\":\"admin\",\"password\":\"secret\"}";

} // namespace

TEST_F(Https, CurlGetsTheIndexOverHttp2) {
    CurlResult root = runCurl(*server, {"-k", "--http2", base + "/"});
    EXPECT_EQ(root.exitCode, 0);
    EXPECT_EQ(root.headers.rfind("HTTP/2 200", 0), 0u) << root.headers;
    EXPECT_EQ(root.body, "<html>home</html>");
    EXPECT_EQ(headerValue(root.headers, "content-type"), "text/html; charset=utf-8");
    EXPECT_EQ(headerValue(root.headers, "etag").size(), 34u);
    CurlResult api = runCurl(*server, {"-k", "--http2", "-H", "Content-Type: application/json", "--data",
                                       kLoginAdmin, base + "/api"});
    EXPECT_EQ(api.body, "{\"cmd\":\"login\"}");
    EXPECT_EQ(headerValues(api.headers, "set-cookie").size(), 4u);
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "user admin from 127.0.0.1 authenticated").size(), 1u);
}

TEST_F(Https, CurlOverHttp2KeepsItsLoginAcrossRequests) {
    std::string jar = board.path("/tmp/jar");
    runCurl(*server, {"-k", "--http2", "-c", jar, "-H", "Content-Type: application/json", "--data",
                      kLoginAdmin, base + "/api"});
    CurlResult live = runCurl(
        *server, {"-k", "--http2", "-b", jar, "-H", "Content-Type: application/json", "--data",
                  "{\"cmd\":\"writeVFD\",\"vfdAddr\":1,\"address\":8192,\"value\":6}", base + "/api"});
    EXPECT_EQ(live.body, "{\"cmd\":\"writeVFD\"}");
    ASSERT_EQ(drive.requests.size(), 1u);
    EXPECT_EQ(drive.requests[0], (std::vector<uint8_t>{1, 6, 0x20, 0, 0, 6}));
}

TEST_F(Https, Http11OverTlsIsRelayedToTheLocalServerWhichSeesLoopback) {
    CurlResult root = runCurl(*server, {"-k", "--http1.1", base + "/"});
    EXPECT_EQ(root.exitCode, 0);
    EXPECT_EQ(root.headers.rfind("HTTP/1.1 200", 0), 0u) << root.headers;
    EXPECT_EQ(root.body, "<html>home</html>");
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "--> 127.0.0.1: h2 is not negotiated").size(), 1u);
    CurlResult wrong =
        runCurl(*server, {"-k", "--http1.1", "-H", "Content-Type: application/json", "--data",
                          "{\"cmd\":\"login\",\"login\":\"admin\",\"password\":\"x\"}", base + "/api"});
    EXPECT_EQ(wrong.body, "{\"cmd\":\"login\",\"error2\":\"неверное имя или пароль\"}");
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "admin from [127.0.0.1]: incorrect login attempt").size(), 1u);
    // A larger file crosses the relay in several pieces.
    std::string large(300000, 'z');
    writeFile(board.path("/srv/www/large.txt"), large);
    EXPECT_EQ(runCurl(*server, {"-k", "--http1.1", base + "/large.txt"}).body, large);
    EXPECT_EQ(runCurl(*server, {"-k", "--http2", base + "/large.txt"}).body, large);
}

TEST_F(Https, NghttpSpeaksHttp2ToTheApi) {
    writeFile(board.path("/tmp/request.json"), kLoginAdmin);
    PeerResult result = runPeer(*server, {"nghttp", "-H", "content-type: application/json", "-d",
                                          board.path("/tmp/request.json"), base + "/api"});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("{\"cmd\":\"login\"}"), std::string::npos) << result.output;
    PeerResult query = runPeer(*server, {"nghttp", base + "/api?json=%7B%7D"});
    EXPECT_NE(query.output.find("{\"cmd\":\"\",\"error\":\"no \\\"cmd\\\" field\"}"), std::string::npos)
        << query.output;
}

TEST_F(Https, AlpnSelectsH2OnlyWhenOfferedAndOldProtocolsAreRefused) {
    PeerResult h2 = runPeer(*server, {"openssl", "s_client", "-alpn", "h2", "-connect", hostPort});
    EXPECT_NE(h2.output.find("ALPN protocol: h2"), std::string::npos) << h2.output;
    PeerResult http11 = runPeer(*server, {"openssl", "s_client", "-alpn", "http/1.1", "-connect", hostPort});
    EXPECT_NE(http11.output.find("No ALPN negotiated"), std::string::npos) << http11.output;
    PeerResult tls11 = runPeer(
        *server, {"openssl", "s_client", "-tls1_1", "-cipher", "ALL:@SECLEVEL=0", "-connect", hostPort});
    EXPECT_NE(tls11.exitCode, 0);
    EXPECT_NE(tls11.output.find("Cipher is (NONE)"), std::string::npos) << tls11.output;
    // The system's own configuration may refuse old versions too; the context itself must.
    SSL_CTX* context = createServerTlsContext();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(SSL_CTX_get_min_proto_version(context), TLS1_2_VERSION);
    SSL_CTX_free(context);
    PeerResult tls12 = runPeer(*server, {"openssl", "s_client", "-tls1_2", "-connect", hostPort});
    EXPECT_NE(tls12.output.find("TLSv1.2"), std::string::npos) << tls12.output;
}

TEST_F(Https, SessionsBeyondTheCapAreRefusedWithOneLogLine) {
    std::vector<int> sockets;
    for (size_t i = 0; i < HTTP::kMaxHttpsSessions + 2; ++i) {
        int fd = connectRaw();
        ASSERT_GE(fd, 0);
        sockets.push_back(fd);
        serveOnce(*server, 50);
    }
    for (int i = 0; i < 20; ++i)
        serveOnce(*server, 10);
    EXPECT_EQ(server->httpsSessions(), HTTP::kMaxHttpsSessions);
    EXPECT_EQ(board.logLinesWith(LOG_WARNING, "too many HTTPS sessions").size(), 1u);
    EXPECT_FALSE(closedByPeer(sockets[0]));
    EXPECT_TRUE(closedByPeer(sockets.back()));
    for (int fd : sockets)
        close(fd);
}

TEST_F(Https, AHandshakeNotDoneInTenSecondsEndsTheSession) {
    int fd = connectRaw();
    ASSERT_GE(fd, 0);
    for (int i = 0; i < 10 && server->httpsSessions() == 0; ++i)
        serveOnce(*server, 20);
    ASSERT_EQ(server->httpsSessions(), 1u);
    board.clock().advanceMs(HTTP::kHandshakeTimeoutMs - HTTP::kSessionSweepMs);
    timers.runDue();
    EXPECT_EQ(server->httpsSessions(), 1u);
    board.clock().advanceMs(2 * HTTP::kSessionSweepMs);
    timers.runDue();
    EXPECT_EQ(server->httpsSessions(), 0u);
    EXPECT_TRUE(closedByPeer(fd));
    close(fd);
}

TEST_F(Https, ASessionWithoutTrafficForThreeMinutesIsClosed) {
    for (const char* protocol : {"h2", "http/1.1"}) {
        TlsClient client;
        ASSERT_TRUE(handshake(client, protocol)) << protocol;
        for (int i = 0; i < 10; ++i)
            serveOnce(*server, 5);
        ASSERT_EQ(server->httpsSessions(), 1u);
        board.clock().advanceMs(HTTP::kHttpsIdleTimeoutMs - 2 * HTTP::kSessionSweepMs);
        timers.runDue();
        EXPECT_EQ(server->httpsSessions(), 1u) << protocol;
        board.clock().advanceMs(3 * HTTP::kSessionSweepMs);
        timers.runDue();
        EXPECT_EQ(server->httpsSessions(), 0u) << protocol;
        EXPECT_TRUE(closedByPeer(client.fd)) << protocol;
    }
}

TEST_F(Https, RequestBodiesBufferedInOneSessionAreBounded) {
    std::string head = "{\"cmd\":\"login\",\"pad\":\"";
    std::string body = head + std::string(kMaxRequestBody - head.size() - 2, 'a') + "\"}";
    writeFile(board.path("/tmp/large.json"), body);
    size_t streams = Http2Session::kMaxBufferedBodies / kMaxRequestBody + 2;
    PeerResult result =
        runPeer(*server,
                {"nghttp", "-v", "-m", std::to_string(streams), "-H", "content-type: application/json", "-d",
                 board.path("/tmp/large.json"), base + "/api"},
                30000);
    size_t refused = 0;
    for (size_t at = 0; (at = result.output.find("REFUSED_STREAM", at)) != std::string::npos; ++at)
        ++refused;
    size_t answered = 0;
    for (size_t at = 0; (at = result.output.find("no 'login' field", at)) != std::string::npos; ++at)
        ++answered;
    EXPECT_GE(refused, 1u) << result.output.substr(0, 3000);
    EXPECT_GE(answered, 1u);
    EXPECT_EQ(refused + answered, streams);
}
