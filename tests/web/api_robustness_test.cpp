#include "tests/web/api_fixture.h"
#include "web/percent_decode.h"

#include <random>

namespace {

// Valid requests cut, spliced and sprinkled with random bytes.
std::string mutated(std::mt19937& random, const std::vector<std::string>& seeds) {
    std::string text = seeds[random() % seeds.size()];
    int edits = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < edits && !text.empty(); ++i) {
        size_t at = random() % text.size();
        switch (random() % 4) {
        case 0:
            text[at] = static_cast<char>(random());
            break;
        case 1:
            text.erase(at, 1 + random() % 3);
            break;
        case 2:
            text.insert(at, seeds[random() % seeds.size()]);
            break;
        default:
            text.insert(at, 1, "{}[]\",:\\ 0-.etf"[random() % 16]);
            break;
        }
    }
    return text;
}

class ApiRobustness : public ApiFixture {};

} // namespace

TEST_F(ApiRobustness, MangledRequestsAlwaysGetAJsonAnswerThatRepeatsCmd) {
    const std::vector<std::string> seeds = {
        "{\"cmd\":\"login\",\"login\":\"admin\",\"password\":\"secret\"}",
        "{\"cmd\":\"setParameter\",\"parameter\":\"ns\",\"value\":4}",
        "{\"cmd\":\"writeVFD\",\"vfdAddr\":1,\"address\":8192,\"value\":6}",
        "{\"cmd\":\"chpass\",\"current\":\"secret\",\"new\":\"secret\"}",
        "[1,2.5e3,true,false,\"a\\u0041\",{\"k\":[[]]}]",
        "{\"cmd\":\"certs\",\"sslcert\":\"-----BEGIN CERTIFICATE-----\",\"sslkey\":\"\"}",
    };
    login("admin", "secret");
    std::mt19937 random(20261207);
    for (int i = 0; i < 3000; ++i) {
        JsonValue answer = call(mutated(random, seeds));
        ASSERT_EQ(answer.type, kJsonHash) << i;
        ASSERT_NE(answer.find("cmd"), nullptr) << i;
    }
}

TEST(JsonRoundTrip, ParsedHashesSerializeToTextThatParsesToTheSameText) {
    std::mt19937 random(7);
    const char alphabet[] = "{}[]\",:\\ 0123456789.-+eEtruefalsn\tab";
    int parsedCount = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string text = "{\"";
        size_t length = random() % 40;
        for (size_t j = 0; j < length; ++j)
            text += alphabet[random() % (sizeof alphabet - 1)];
        JsonValue value;
        if (!parseJson(text, value))
            continue;
        ++parsedCount;
        std::string serialized = serializeJson(value);
        JsonValue again;
        // Keys are written unescaped, so only hashes whose keys need no escaping come back.
        if (parseJson(serialized + " ", again)) {
            EXPECT_EQ(serializeJson(again), serialized) << text;
        }
    }
    EXPECT_GT(parsedCount, 0);
}

TEST(PercentDecodeRobustness, NeverGrowsAndKeepsPlainTextsUnchanged) {
    std::mt19937 random(11);
    const char alphabet[] = "%0123456789abcdefABCDEFxyz+";
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        size_t length = random() % 12;
        for (size_t j = 0; j < length; ++j)
            text += alphabet[random() % (sizeof alphabet - 1)];
        std::string decoded = percentDecode(text);
        EXPECT_LE(decoded.size(), text.size());
        if (text.find('%') == std::string::npos) {
            EXPECT_EQ(decoded, text);
        }
    }
}
