#include "web/http2_stream.h"

#include <gtest/gtest.h>

TEST(Http2StreamRequest, ThePathIsDecodedAndItsQuerySplitWithTheLaterPieceWinning) {
    Http2Stream stream(1, nullptr, "127.0.0.1");
    stream.onHeader(":path", "/x%20y?a=1&b&a=2&c%3d=%41%42");
    stream.onHeader(":method", "GET");
    stream.onHeader(":authority", "board:8443");
    EXPECT_EQ(stream.path(), "/x y");
    EXPECT_EQ(stream.method(), "GET");
    EXPECT_EQ(stream.authority(), "board:8443");
    EXPECT_EQ(stream.arguments, (std::map<std::string, std::string>{{"a", "2"}, {"b", ""}, {"c=", "AB"}}));
    EXPECT_EQ(stream.remoteAddress(), "127.0.0.1");
}

TEST(Http2StreamRequest, CookiesAndOtherHeadersArePercentDecoded) {
    Http2Stream stream(1, nullptr, "::1");
    stream.onHeader("cookie", "login=ad%6din");
    stream.onHeader("cookie", "flag");
    stream.onHeader("cookie", "time=5; nonce=abc");
    stream.onHeader("x-note", "a%20b+c");
    EXPECT_EQ(stream.cookies, (std::map<std::string, std::string>{
                                  {"login", "admin"}, {"flag", ""}, {"time", "5"}, {"nonce", "abc"}}));
    std::string value;
    ASSERT_TRUE(stream.findRequestHeader("x-note", value));
    EXPECT_EQ(value, "a b+c");
}

TEST(Http2StreamRequest, TheBodyStopsAtOneMebibyteAndBecomesJsonOnlyForJsonContent) {
    Http2Stream stream(1, nullptr, "");
    std::string big(kMaxRequestBody - 1, 'x');
    EXPECT_TRUE(stream.onData(reinterpret_cast<const uint8_t*>(big.data()), big.size()));
    EXPECT_FALSE(stream.onData(reinterpret_cast<const uint8_t*>("ab"), 2));
    EXPECT_TRUE(stream.onData(reinterpret_cast<const uint8_t*>("a"), 1));
    EXPECT_EQ(stream.body().size(), kMaxRequestBody);
    stream.takeJsonBody();
    EXPECT_EQ(stream.arguments.count("json"), 0u);
    Http2Stream json(3, nullptr, "");
    json.onHeader("content-type", "Application/JSON; charset=utf-8");
    json.onData(reinterpret_cast<const uint8_t*>("{}"), 2);
    json.takeJsonBody();
    EXPECT_EQ(json.arguments["json"], "{}");
}

TEST(Http2StreamResponse, HeaderNamesAreLowerCased) {
    Http2Stream stream(1, nullptr, "");
    stream.addResponseHeader("Content-Type", "text/html");
    EXPECT_EQ(stream.responseHeaders, (HeaderList{{"content-type", "text/html"}}));
    EXPECT_FALSE(stream.sendResponse(200, nullptr));
}
