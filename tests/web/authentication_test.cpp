#include "tests/web/api_fixture.h"
#include "web/md5_hex.h"

#include <sys/stat.h>

namespace {

class Login : public ApiFixture {};

class LoginWithKnownSecret : public ApiFixture {
protected:
    LoginWithKnownSecret() : ApiFixture("known secret") {}

    static std::map<std::string, std::string> proofFor(const std::string& name, const std::string& password,
                                                       const std::string& time) {
        std::string nonce = md5Hex(time + "known secret");
        return {{"login", name},
                {"time", time},
                {"nonce", nonce},
                {"password", md5Hex(name + password + time + nonce)}};
    }
};

class LoginWithoutSecret : public ApiFixture {
protected:
    LoginWithoutSecret() : ApiFixture("") {}
};

} // namespace

TEST_F(Login, TheRightPasswordSetsTheFourCookiesAndLogsTheUser) {
    JsonValue answer = login("admin", "secret");
    EXPECT_EQ(serializeJson(answer), "{\"cmd\":\"login\"}");
    ASSERT_EQ(setCookies.size(), 4u);
    std::string time = std::to_string(static_cast<long long>(platform::wallTime()));
    EXPECT_EQ(browserCookies["login"], "admin");
    EXPECT_EQ(browserCookies["time"], time);
    EXPECT_EQ(browserCookies["nonce"].size(), 32u);
    EXPECT_EQ(browserCookies["password"],
              md5Hex("admin" + std::string("secret") + time + browserCookies["nonce"]));
    EXPECT_EQ(setCookies[0], "login=admin; path=/");
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "user admin from [127.0.0.1] authenticated").size(), 1u);
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "userList:").size(), 1u);
}

TEST_F(Login, AWrongPasswordOrNameAnswersOnlyTheReasonAndIsLogged) {
    JsonValue answer = login("admin", "nope");
    EXPECT_EQ(serializeJson(answer), "{\"cmd\":\"login\",\"error2\":\"неверное имя или пароль\"}");
    EXPECT_TRUE(setCookies.empty());
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "admin from [127.0.0.1]: incorrect login attempt").size(), 1u);
    EXPECT_EQ(error2(login("ghost", "secret")), "неверное имя или пароль");
    EXPECT_EQ(error2(login("admin", "secre")), "неверное имя или пароль");
    EXPECT_EQ(error(call("{\"cmd\":\"login\",\"login\":\"admin\"}")), "no 'password' field");
    EXPECT_EQ(error(call("{\"cmd\":\"login\",\"login\":1,\"password\":\"x\"}")),
              "'login' field must be string");
}

TEST_F(Login, FiveFailuresFromOneAddressRefuseItForTheRestOfTheMinute) {
    for (int i = 0; i < LoginThrottle::kMaxFailures; ++i)
        login("admin", "guess" + std::to_string(i));
    board.clock().advanceMs(30000);
    // The right password is not even looked at now, and the answer does not tell.
    EXPECT_EQ(serializeJson(login("admin", "secret")),
              "{\"cmd\":\"login\",\"error2\":\"неверное имя или пароль\"}");
    EXPECT_TRUE(setCookies.empty());
    login("admin", "secret");
    EXPECT_EQ(board.logLinesWith(LOG_WARNING, "admin from [127.0.0.1]: too many failed logins").size(), 1u);
    // Another address is not affected.
    call("{\"cmd\":\"login\",\"login\":\"admin\",\"password\":\"secret\"}", "[10.0.0.9]");
    EXPECT_EQ(setCookies.size(), 4u);
    board.clock().advanceMs(30000);
    EXPECT_EQ(serializeJson(login("admin", "secret")), "{\"cmd\":\"login\"}");
}

TEST_F(Login, FourFailuresWithinAMinuteStillLetTheRightPasswordIn) {
    for (int i = 0; i < LoginThrottle::kMaxFailures - 1; ++i)
        login("admin", "guess");
    EXPECT_EQ(serializeJson(login("admin", "secret")), "{\"cmd\":\"login\"}");
}

TEST_F(Login, ACommandWithoutCookiesIsRefusedWithFourEmptyCookies) {
    JsonValue answer = call("{\"cmd\":\"parameters\"}");
    EXPECT_EQ(answer["cmd"].text, "parameters");
    EXPECT_EQ(error(answer), "not logged in");
    EXPECT_EQ(error2(answer), "invalid nonce");
    ASSERT_EQ(setCookies.size(), 4u);
    for (const std::string& cookie : setCookies)
        EXPECT_NE(cookie.find("=; path=/"), std::string::npos) << cookie;
}

TEST_F(Login, AProofRenewsAfterSixtySecondsAndExpiresAfterADay) {
    login("admin", "secret");
    auto issued = browserCookies;
    board.clock().advanceMs(60000);
    JsonValue answer = call("{\"cmd\":\"parameters\"}");
    EXPECT_EQ(answer.find("error"), nullptr);
    EXPECT_EQ(browserCookies, issued); // sent back unchanged at 60 s
    board.clock().advanceMs(1000);
    call("{\"cmd\":\"parameters\"}");
    EXPECT_NE(browserCookies["time"], issued["time"]);
    EXPECT_NE(browserCookies["password"], issued["password"]);

    browserCookies = issued;
    board.clock().advanceMs((kProofLifetimeSeconds - 61) * 1000);
    EXPECT_EQ(call("{\"cmd\":\"parameters\"}").find("error"), nullptr); // 86400 s
    browserCookies = issued;
    board.clock().advanceMs(1000);
    EXPECT_EQ(error2(call("{\"cmd\":\"parameters\"}")), "данные аутентификации устарели"); // 86401 s
}

TEST_F(LoginWithKnownSecret, AProofFromTheFutureIsRefused) {
    std::string future = std::to_string(static_cast<long long>(platform::wallTime()) + 1);
    browserCookies = proofFor("admin", "secret", future);
    EXPECT_EQ(error2(call("{\"cmd\":\"parameters\"}")), "данные аутентификации устарели");
    board.clock().advanceMs(1000);
    browserCookies = proofFor("admin", "secret", future);
    EXPECT_EQ(call("{\"cmd\":\"parameters\"}").find("error"), nullptr);
}

TEST_F(LoginWithKnownSecret, AProofOfTheEarliestPossibleTimeIsRefusedAsStale) {
    browserCookies = proofFor("admin", "secret", "-9223372036854775808");
    EXPECT_EQ(error2(call("{\"cmd\":\"parameters\"}")), "данные аутентификации устарели");
}

TEST_F(Login, AProofWithAForeignNonceOrMissingPartsOrTheWrongDigestIsRefused) {
    login("admin", "secret");
    auto issued = browserCookies;
    browserCookies["nonce"] = md5Hex(issued["time"] + "not the secret");
    EXPECT_EQ(error2(call("{\"cmd\":\"parameters\"}")), "invalid nonce");
    browserCookies = issued;
    browserCookies["password"] = "";
    EXPECT_EQ(error2(call("{\"cmd\":\"parameters\"}")), "нет данных аутентификации");
    browserCookies = issued;
    browserCookies["login"] = "ghost";
    EXPECT_EQ(error2(call("{\"cmd\":\"parameters\"}")), "неверное имя или пароль");
    browserCookies = issued;
    browserCookies["password"][0] = browserCookies["password"][0] == 'a' ? 'b' : 'a';
    EXPECT_EQ(error2(call("{\"cmd\":\"parameters\"}")), "неверное имя или пароль");
    browserCookies = issued;
    EXPECT_EQ(call("{\"cmd\":\"parameters\"}").find("error"), nullptr);
}

TEST_F(Login, AChangedPasswordIsSavedAndInvalidatesTheOldProof) {
    login("viewer", "look");
    EXPECT_EQ(error(call("{\"cmd\":\"chpass\",\"current\":\"wrong\",\"new\":\"n\"}")),
              "неверный текущий пароль");
    EXPECT_EQ(error(call("{\"cmd\":\"chpass\",\"current\":\"look\"}")), "no 'new' field");
    EXPECT_EQ(error(call("{\"cmd\":\"chpass\",\"current\":\"look\",\"new\":\"x\\nroot:pw:1:\"}")),
              "недопустимый символ в пароле");
    JsonValue answer = call("{\"cmd\":\"chpass\",\"current\":\"look\",\"new\":\"seen\"}");
    EXPECT_EQ(serializeJson(answer), "{\"cmd\":\"chpass\"}");
    EXPECT_EQ(readFile(board.path("/usr/share/velkord/users.txt")),
              "admin:secret:1:full\nviewer:seen:0:read only\n");
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "viewer from [127.0.0.1]: password changed").size(), 1u);
    EXPECT_EQ(error2(call("{\"cmd\":\"parameters\"}")), "неверное имя или пароль");
    EXPECT_EQ(serializeJson(login("viewer", "seen")), "{\"cmd\":\"login\"}");
}

TEST_F(LoginWithoutSecret, EveryLoginAndEveryGuessableProofIsRefused) {
    EXPECT_EQ(error2(login("admin", "secret")), "неверное имя или пароль");
    EXPECT_TRUE(setCookies.empty());
    // A proof built as if the secret were empty is what an attacker could compute.
    std::string time = std::to_string(static_cast<long long>(platform::wallTime()));
    std::string nonce = md5Hex(time);
    browserCookies = {{"login", "admin"},
                      {"time", time},
                      {"nonce", nonce},
                      {"password", md5Hex("admin" + std::string("secret") + time + nonce)}};
    EXPECT_EQ(error2(call("{\"cmd\":\"parameters\"}")), "invalid nonce");
}

TEST(ServerSecret, IsTwentyRandomBytesEachTime) {
    std::string first = makeServerSecret();
    std::string second = makeServerSecret();
    EXPECT_EQ(first.size(), kServerSecretBytes);
    EXPECT_NE(first, second);
}

TEST(SecretComparison, NeedsEqualLengthAndEqualBytes) {
    EXPECT_TRUE(sameSecretText("abc", "abc"));
    EXPECT_FALSE(sameSecretText("abc", "abd"));
    EXPECT_FALSE(sameSecretText("abc", "ab"));
    EXPECT_TRUE(sameSecretText("", ""));
}

TEST(Md5Hex, GivesTheKnownDigests) {
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
}
