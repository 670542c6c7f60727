// The request dispatch under hostile paths: whatever the path (percent-encoded or double-encoded
// "..", NUL bytes, absolute or odd names), only files under "/srv/www/" are served or tagged; a file
// beside it is never answered, nor its entity tag given. Paths are decoded as the HTTP/2 transport
// decodes them. "/api" gets the rest of the input as its JSON command.

#include "config/config.h"
#include "tests/fuzz/fuzz_board.h"
#include "web/api.h"
#include "web/api_drive_access.h"
#include "web/authentication.h"
#include "web/dispatch.h"
#include "web/md5_hex.h"
#include "web/percent_decode.h"
#include "web/response.h"
#include "web/user_list.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <set>

namespace {

const char kOutside[] = "OUTSIDE-THE-WEB-ROOT";

// The web root's files, with a gzip sibling and a directory; files beside it that must stay unseen.
const std::pair<const char*, const char*> kWebFiles[] = {
    {"/srv/www/index.html", "<html>index</html>"},
    {"/srv/www/app.js", "console.log('app');"},
    {"/srv/www/app.js.gz", "gzipped app"},
    {"/srv/www/css/style.css", "body{}"},
    {"/srv/www/%2e%2e", "a file really named %2e%2e"},
};
const char* const kOutsideFiles[] = {"/srv/secret", "/srv/www.old", "/etc/passwd", "/srv/wwwx/index.html"};

class NoDrive : public ApiDriveAccess {
public:
    void liveValues(JsonValue&, JsonValue&) override {}
    void queueDriveRequest(const std::vector<uint8_t>&) override {}
    void dynamograms(JsonValue&) override {}
};

class RecordingTransaction : public HttpTransaction {
public:
    bool sendResponse(int sentStatus, std::unique_ptr<Response> response) override {
        status = sentStatus;
        bool end = false;
        bool error = false;
        char buffer[4096];
        while (!end && !error)
            body.append(buffer, response->read(buffer, sizeof buffer, end, error));
        return true;
    }
    std::string remoteAddress() override { return "[127.0.0.1]"; }

    int status = 0;
    std::string body;
};

struct Site {
    Site() {
        FuzzBoard& board = FuzzBoard::get();
        for (const auto& [path, content] : kWebFiles) {
            std::filesystem::create_directories(std::filesystem::path(board.path(path)).parent_path());
            writeWholeFile(board.path(path), content);
            served.insert(content);
            tags.insert("\"" + md5Hex(content) + "\"");
        }
        for (const char* path : kOutsideFiles) {
            std::filesystem::create_directories(std::filesystem::path(board.path(path)).parent_path());
            writeWholeFile(board.path(path), kOutside);
        }
        writeWholeFile(board.path("/usr/share/velkord/users.txt"), "admin:secret:1:\n");
        users.load();
        config = std::make_unique<Config>(board.path("/etc/velkord"), board.path("/etc/velkord_perf"));
        api = std::make_unique<Api>(authentication, config.get(), &drive);
    }

    UserList users;
    Authentication authentication{users, "fuzzing secret"};
    std::unique_ptr<Config> config;
    NoDrive drive;
    std::unique_ptr<Api> api;
    std::set<std::string> served;
    std::set<std::string> tags;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Byte 0: bit 0 the method (GET or POST; bit 1 another one), bit 2 gzip accepted, bit 3 an
    // If-None-Match of the index's tag. Then the path up to a line feed, then the API's body.
    if (size < 1)
        return 0;
    static Site site;
    FuzzBoard::get().clearLog();
    uint8_t flags = data[0];
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t lineEnd = rest.find('\n');
    std::string rawPath = rest.substr(0, lineEnd);
    std::string body = lineEnd == std::string::npos ? "" : rest.substr(lineEnd + 1);

    RecordingTransaction transaction;
    if (flags & 4)
        transaction.requestHeaders.emplace_back("accept-encoding", "gzip, deflate");
    if (flags & 8)
        transaction.requestHeaders.emplace_back("if-none-match", "\"" + md5Hex("<html>index</html>") + "\"");
    transaction.arguments["json"] = body;
    const char* method = flags & 2 ? "DELETE" : flags & 1 ? "POST" : "GET";
    Dispatcher dispatcher(*site.api);
    dispatcher.dispatch(transaction, percentDecode(rawPath), method, "HTTP/2");

    FUZZ_CHECK(transaction.status != 0, "no answer");
    // An API answer may echo its command (an error names it, after the JSON decoder's own unescaping),
    // so the marker is looked for in every other answer.
    std::string path = percentDecode(rawPath);
    if (path != "/api")
        FUZZ_CHECK(transaction.body.find(kOutside) == std::string::npos,
                   "a file outside the web root was served");
    if (transaction.status == 200 && path != "/api")
        FUZZ_CHECK(site.served.count(transaction.body) == 1, "an unknown body was served for " + path);
    for (const auto& [name, value] : transaction.responseHeaders)
        if (name == "ETag")
            FUZZ_CHECK(site.tags.count(value) == 1, "the tag of a file outside the web root: " + path);
    return 0;
}
