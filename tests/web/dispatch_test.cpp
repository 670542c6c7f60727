#include "tests/web/api_fixture.h"
#include "web/dispatch.h"
#include "web/md5_hex.h"
#include "web/percent_decode.h"

#include <sys/stat.h>

namespace {

class Dispatch : public ApiFixture {
protected:
    Dispatch() : dispatcher(*api) {
        mkdir(board.path("/srv").c_str(), 0755);
        mkdir(board.path("/srv/www").c_str(), 0755);
        writeFile(board.path("/srv/www/index.html"), "<html>home</html>");
    }

    FakeTransaction& get(const std::string& path, const HeaderList& headers = {},
                         const std::string& method = "GET") {
        transactions.push_back(std::make_unique<FakeTransaction>());
        FakeTransaction& transaction = *transactions.back();
        transaction.requestHeaders = headers;
        EXPECT_TRUE(dispatcher.dispatch(transaction, path, method, "HTTP/1.1"));
        return transaction;
    }
    static std::string header(const FakeTransaction& transaction, const std::string& name) {
        auto values = transaction.responseHeader(name);
        return values.empty() ? "(none)" : values[0];
    }

    Dispatcher dispatcher;
    std::vector<std::unique_ptr<FakeTransaction>> transactions;
};

} // namespace

TEST_F(Dispatch, TheRootServesIndexWithItsTypeNoCacheAndAQuotedDigestAsETag) {
    FakeTransaction& root = get("/");
    EXPECT_EQ(root.sentStatus, 200);
    EXPECT_EQ(root.body, "<html>home</html>");
    EXPECT_EQ(header(root, "Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(header(root, "Cache-Control"), "no-cache");
    EXPECT_EQ(header(root, "ETag"), "\"" + md5Hex("<html>home</html>") + "\"");
    EXPECT_EQ(header(root, "ETag").size(), 34u);
}

TEST_F(Dispatch, AMatchingIfNoneMatchGets304WithTheTagAndNoBody) {
    std::string tag = "\"" + md5Hex("<html>home</html>") + "\"";
    FakeTransaction& again = get("/index.html", {{"if-none-match", "W/" + tag + ", \"other\""}});
    EXPECT_EQ(again.sentStatus, 304);
    EXPECT_EQ(again.body, "");
    EXPECT_EQ(again.responseHeaders, (HeaderList{{"ETag", tag}}));
    EXPECT_EQ(get("/index.html", {{"if-none-match", "\"stale\""}}).sentStatus, 200);
}

TEST_F(Dispatch, AGzipSiblingIsSentOnlyToClientsThatTakeGzip) {
    writeFile(board.path("/srv/www/app.js"), "plain();");
    writeFile(board.path("/srv/www/app.js.gz"), "GZ");
    FakeTransaction& zipped = get("/app.js", {{"accept-encoding", "GZIP, deflate"}});
    EXPECT_EQ(zipped.body, "GZ");
    EXPECT_EQ(header(zipped, "Content-Encoding"), "gzip");
    EXPECT_EQ(header(zipped, "Content-Type"), "application/javascript; charset=utf-8");
    EXPECT_EQ(header(zipped, "ETag"), "\"" + md5Hex("plain();") + "\"");
    FakeTransaction& plain = get("/app.js", {{"accept-encoding", "deflate"}});
    EXPECT_EQ(plain.body, "plain();");
    EXPECT_EQ(header(plain, "Content-Encoding"), "(none)");
    unlink(board.path("/srv/www/app.js.gz").c_str());
    EXPECT_EQ(get("/app.js", {{"accept-encoding", "gzip"}}).body, "plain();");
    mkdir(board.path("/srv/www/app.js.gz").c_str(), 0755); // not a regular file
    EXPECT_EQ(get("/app.js", {{"accept-encoding", "gzip"}}).body, "plain();");
}

TEST_F(Dispatch, ErrorPagesForMissingFilesDirectoriesDotDotAndOtherMethods) {
    writeFile(board.path("/srv/www/b"), "secret");
    mkdir(board.path("/srv/www/a").c_str(), 0755);
    FakeTransaction& dotDot = get("/a/../b");
    EXPECT_EQ(dotDot.sentStatus, 404);
    EXPECT_EQ(dotDot.body, "<html><body><h1>Document not found</h1></body></html>\r\n");
    EXPECT_EQ(header(dotDot, "Content-Type"), "text/html");
    FakeTransaction& directory = get("/a");
    EXPECT_EQ(directory.sentStatus, 403);
    EXPECT_EQ(directory.body, "<html><body><h1>Forbidden</h1></body></html>\r\n");
    EXPECT_EQ(get("/missing.html").sentStatus, 404);
    FakeTransaction& put = get("/index.html", {}, "PUT");
    EXPECT_EQ(put.sentStatus, 501);
    EXPECT_EQ(put.body, "<html><body><h1>Method not implemented</h1></body></html>\r\n");
    EXPECT_EQ(get("/index.html", {}, "post").sentStatus, 200);
    writeFile(board.path("/srv/www/locked.txt"), "x");
    chmod(board.path("/srv/www/locked.txt").c_str(), 0);
    if (geteuid() != 0) {
        EXPECT_EQ(get("/locked.txt").sentStatus, 403);
    }
    EXPECT_STREQ(errorPageBody(500), "<html><body><h1>Internal server error</h1></body></html>\r\n");
    EXPECT_STREQ(errorPageBody(418), "<html><body><h1>Error</h1></body></html>\r\n");
}

TEST_F(Dispatch, ContentTypesFollowTheLastDotOfThePath) {
    EXPECT_STREQ(contentTypeFor("/s.css"), "text/css; charset=utf-8");
    EXPECT_STREQ(contentTypeFor("/i.png"), "image/png");
    EXPECT_STREQ(contentTypeFor("/r.txt"), "text/plain; charset=utf-8");
    EXPECT_STREQ(contentTypeFor("/a.html.bak"), "application/octet-stream");
    EXPECT_STREQ(contentTypeFor("/noext"), "application/octet-stream");
    EXPECT_STREQ(contentTypeFor("/dir.v2/file"), "application/octet-stream");
}

TEST_F(Dispatch, TheApiPathGoesToTheApiWithEitherMethod) {
    FakeTransaction& answer = get("/api");
    EXPECT_EQ(answer.body, "{\"cmd\":\"\",\"error\":\"No request\"}");
    EXPECT_EQ(header(answer, "Content-Type"), "application/json; charset=utf-8");
    EXPECT_EQ(get("/api", {}, "POST").body, "{\"cmd\":\"\",\"error\":\"No request\"}");
}

TEST(PercentDecode, ShortTextsAndTheLastTwoCharactersStayAsTheyAre) {
    EXPECT_EQ(percentDecode("%41"), "%41");
    EXPECT_EQ(percentDecode("%41%42"), "AB");
    EXPECT_EQ(percentDecode("a%41"), "aA");
    EXPECT_EQ(percentDecode("ab%4"), "ab%4");
    EXPECT_EQ(percentDecode("a+b%20c"), "a+b c");
    EXPECT_EQ(percentDecode("%zz%4g%2f"), "%zz%4g/");
    EXPECT_EQ(percentDecode("%D0%9F!"), "П!");
    EXPECT_EQ(percentDecode(""), "");
}
