#include "tests/support/peers.h"
#include "tests/web/api_fixture.h"
#include "tests/web/curl_loop.h"
#include "web/http_server.h"
#include "web/md5_hex.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace {

class HttpServer : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_PEERS(kCurl);
        mkdir(board.path("/srv").c_str(), 0755);
        mkdir(board.path("/srv/www").c_str(), 0755);
        mkdir(board.path("/usr/share/velkord").c_str(), 0755);
        writeFile(board.path("/srv/www/index.html"), "<html>home</html>");
        writeFile(board.path("/usr/share/velkord/users.txt"),
                  "admin:secret:1:full\nviewer:look:0:read only\n");
        platform::Ports ports;
        ports.http = 0;
        server = std::make_unique<HTTP>(ports, timers, nullptr, &drive);
    }
    void start() {
        ASSERT_TRUE(server->start());
        base = "http://127.0.0.1:" + std::to_string(server->httpPort());
    }
    CurlResult curl(std::vector<std::string> arguments) { return runCurl(*server, arguments); }

    TestBoard board;
    TimerQueue timers;
    RecordingDrive drive;
    std::unique_ptr<HTTP> server;
    std::string base;
};

std::string loginJson(const std::string& name, const std::string& password) {
    return "{\"cmd\":\"login\",\"login\":\"" + name + "\",\"password\":\"" + password + "\"}";
}

// A connected TCP socket to the port, or -1.
int connectTo(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

TEST_F(HttpServer, StartsOnceLogsItAndOffersItsEpollDescriptor) {
    EXPECT_EQ(server->daemonEpollFd(), -1);
    EXPECT_EQ(server->timeoutMs(), -1);
    start();
    EXPECT_TRUE(server->start());
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "http_server:").size(), 1u);
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "HTTP daemon created").size(), 1u);
    EXPECT_GE(server->daemonEpollFd(), 0);
    EXPECT_GT(server->httpPort(), 0);
    EXPECT_EQ(server->users().users().size(), 2u);
    server->stop();
    EXPECT_EQ(server->daemonEpollFd(), -1);
}

TEST_F(HttpServer, ServesTheIndexWithItsTagAndA304ForTheSameTag) {
    start();
    CurlResult root = curl({base + "/"});
    EXPECT_EQ(root.exitCode, 0);
    EXPECT_EQ(root.status, 200);
    EXPECT_EQ(root.body, "<html>home</html>");
    EXPECT_EQ(headerValue(root.headers, "Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(headerValue(root.headers, "Cache-Control"), "no-cache");
    std::string tag = headerValue(root.headers, "ETag");
    EXPECT_EQ(tag, "\"" + md5Hex("<html>home</html>") + "\"");
    CurlResult again = curl({"-H", "If-None-Match: " + tag, base + "/"});
    EXPECT_EQ(again.status, 304);
    EXPECT_EQ(again.body, "");
    EXPECT_EQ(headerValue(again.headers, "ETag"), tag);
}

TEST_F(HttpServer, SendsTheGzipSiblingToAClientThatTakesGzip) {
    start();
    writeFile(board.path("/srv/www/app.js"), "plain();");
    writeFile(board.path("/srv/www/app.js.gz"), "GZIPPED");
    CurlResult zipped = curl({"-H", "Accept-Encoding: gzip, deflate", base + "/app.js"});
    EXPECT_EQ(zipped.body, "GZIPPED");
    EXPECT_EQ(headerValue(zipped.headers, "Content-Encoding"), "gzip");
    EXPECT_EQ(headerValue(zipped.headers, "Content-Type"), "application/javascript; charset=utf-8");
    EXPECT_EQ(curl({base + "/app.js"}).body, "plain();");
}

TEST_F(HttpServer, AnswersErrorPagesForDotDotDirectoriesMissingFilesAndPut) {
    start();
    writeFile(board.path("/srv/www/b"), "secret");
    mkdir(board.path("/srv/www/a").c_str(), 0755);
    CurlResult dotDot = curl({"--path-as-is", base + "/a/../b"});
    EXPECT_EQ(dotDot.status, 404);
    EXPECT_EQ(dotDot.body, "<html><body><h1>Document not found</h1></body></html>\r\n");
    EXPECT_EQ(headerValue(dotDot.headers, "Content-Type"), "text/html");
    EXPECT_EQ(curl({base + "/a"}).status, 403);
    EXPECT_EQ(curl({base + "/nothing.html"}).status, 404);
    CurlResult put = curl({"-X", "PUT", base + "/index.html"});
    EXPECT_EQ(put.status, 501);
    EXPECT_EQ(put.body, "<html><body><h1>Method not implemented</h1></body></html>\r\n");
}

TEST_F(HttpServer, RefusesAnApiPostThatIsNotJsonByClosingTheConnection) {
    start();
    CurlResult refused =
        curl({"-H", "Content-Type: text/plain", "--data", loginJson("admin", "secret"), base + "/api"});
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_EQ(refused.status, 0);
    CurlResult json =
        curl({"-H", "Content-Type: application/json", "--data", loginJson("admin", "secret"), base + "/api"});
    EXPECT_EQ(json.status, 200);
    EXPECT_EQ(json.body, "{\"cmd\":\"login\"}");
    EXPECT_EQ(headerValue(json.headers, "Content-Type"), "application/json; charset=utf-8");
}

TEST_F(HttpServer, AcceptsAJsonBodyOfExactlyOneMebibyteAndRefusesOneByteMore) {
    start();
    std::string head = "{\"cmd\":\"login\",\"pad\":\"";
    std::string tail = "\"}";
    std::string exact = head + std::string(kMaxRequestBody - head.size() - tail.size(), 'a') + tail;
    ASSERT_EQ(exact.size(), kMaxRequestBody);
    writeFile(board.path("/tmp/exact.json"), exact);
    writeFile(board.path("/tmp/over.json"), exact + " ");
    std::vector<std::string> post = {"-H", "Content-Type: application/json", "-H",
                                     "Expect:", "--data-binary"};
    auto exactArgs = post;
    exactArgs.insert(exactArgs.end(), {"@" + board.path("/tmp/exact.json"), base + "/api"});
    CurlResult accepted = curl(exactArgs);
    EXPECT_EQ(accepted.status, 200);
    EXPECT_EQ(accepted.body, "{\"cmd\":\"login\",\"error\":\"no 'login' field\"}");
    auto overArgs = post;
    overArgs.insert(overArgs.end(), {"@" + board.path("/tmp/over.json"), base + "/api"});
    CurlResult refused = curl(overArgs);
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_EQ(refused.status, 0);
}

TEST_F(HttpServer, AnswersTheApiFromAQueryArgumentAndFromAFormFieldAsFromAJsonBody) {
    start();
    CurlResult query =
        curl({"-G", "--data-urlencode", "json=" + loginJson("admin", "secret"), base + "/api"});
    EXPECT_EQ(query.body, "{\"cmd\":\"login\"}");
    EXPECT_EQ(headerValues(query.headers, "Set-Cookie").size(), 4u);
    CurlResult form = curl({"--data-urlencode", "json=" + loginJson("admin", "secret"), base + "/api"});
    EXPECT_EQ(form.body, "{\"cmd\":\"login\"}");
    EXPECT_EQ(headerValues(form.headers, "Set-Cookie").size(), 4u);
}

TEST_F(HttpServer, ALoginsCookiesOpenTheOtherCommandsToTheBrowser) {
    start();
    std::string jar = board.path("/tmp/cookies");
    CurlResult bare = curl({"--data-urlencode", "json={\"cmd\":\"parameters\"}", base + "/api"});
    EXPECT_EQ(bare.body, "{\"cmd\":\"parameters\",\"error\":\"not logged in\",\"error2\":\"invalid nonce\"}");
    auto cookies = headerValues(bare.headers, "Set-Cookie");
    EXPECT_EQ(cookies, (std::vector<std::string>{"login=; path=/", "nonce=; path=/", "password=; path=/",
                                                 "time=; path=/"}));
    CurlResult wrong =
        curl({"-H", "Content-Type: application/json", "--data", loginJson("admin", "bad"), base + "/api"});
    EXPECT_EQ(wrong.body, "{\"cmd\":\"login\",\"error2\":\"неверное имя или пароль\"}");
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "admin from [127.0.0.1]: incorrect login attempt").size(), 1u);
    curl({"-c", jar, "-H", "Content-Type: application/json", "--data", loginJson("viewer", "look"),
          base + "/api"});
    CurlResult live = curl({"-b", jar, "-H", "Content-Type: application/json", "--data",
                            "{\"cmd\":\"parametersRO\"}", base + "/api"});
    EXPECT_EQ(live.body, "{\"alarms\":{},\"cmd\":\"parametersRO\",\"parameters\":{\"serialNumber\":\"42\"}}");
    CurlResult denied =
        curl({"-b", jar, "-H", "Content-Type: application/json", "--data",
              "{\"cmd\":\"writeVFD\",\"vfdAddr\":1,\"address\":1,\"value\":1}", base + "/api"});
    EXPECT_EQ(denied.body, "{\"cmd\":\"writeVFD\",\"error\":\"access denied\"}");
    EXPECT_TRUE(drive.requests.empty());
}

// The main loop waits no longer than the server's time-out, so an idle connection is closed on time.
TEST_F(HttpServer, AnIdleConnectionIsClosedWhenTheLoopHonoursTheServersTimeOut) {
    const unsigned kIdleSeconds = 1;
    server->setConnectionTimeoutForTests(kIdleSeconds);
    start();
    EXPECT_EQ(server->pollTimeoutMs(-1), -1);
    int fd = connectTo(server->httpPort());
    ASSERT_GE(fd, 0);
    auto begin = std::chrono::steady_clock::now();
    bool closed = false;
    bool timed = false;
    while (!closed && std::chrono::steady_clock::now() - begin < std::chrono::seconds(6)) {
        // A loop with no timer queued would wait forever; here it waits as long as the server allows.
        int timeout = server->pollTimeoutMs(-1);
        if (timeout >= 0 && timeout <= static_cast<int>(kIdleSeconds * 1000))
            timed = true;
        pollfd entries[2] = {{server->daemonEpollFd(), POLLIN | POLLOUT, 0}, {fd, POLLIN, 0}};
        poll(entries, 2, timeout < 0 ? 6000 : timeout);
        server->run();
        char byte;
        pollfd check{fd, POLLIN, 0};
        if (poll(&check, 1, 0) == 1 && recv(fd, &byte, 1, MSG_DONTWAIT) == 0)
            closed = true;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    close(fd);
    EXPECT_TRUE(timed);
    EXPECT_TRUE(closed);
    EXPECT_LT(seconds, kIdleSeconds + 2.0);
}
