// A process killed at any moment of a "chpass" or a "certs" command leaves the users file and the
// HTTPS pair as they were before that command or as it made them, and the daemon reads them at start.

#include "tests/support/kill_loop.h"
#include "tests/support/peers.h"
#include "tests/support/process.h"
#include "tests/web/api_fixture.h"
#include "web/tls_context.h"

#include <chrono>
#include <cstdio>

namespace {

constexpr int kTrials = 300;
constexpr int kLongestKillDelayUs = 3000;
constexpr int kPairs = 3;

std::string password(int version) {
    return "pass" + std::to_string(version);
}

// The users file as a "chpass" of admin's password to version n writes it.
std::string usersText(int version) {
    return "admin:" + password(version) + ":1:full\nviewer:look:0:read only\n";
}

double secondsSince(std::chrono::steady_clock::time_point begin) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

class WebFilesKill : public ApiFixture {
protected:
    std::string usersPath() { return board.path("/usr/share/velkord/users.txt"); }
    std::string certPath() { return board.path("/usr/share/velkord/server.cer"); }
    std::string keyPath() { return board.path("/usr/share/velkord/server.key"); }

    // The version the users file holds whole, or -1 when it is anything else.
    int usersVersion() {
        std::string text = readFile(usersPath());
        int version = -1;
        if (std::sscanf(text.c_str(), "admin:pass%d:", &version) != 1 || text != usersText(version))
            return -1;
        UserList reread;
        reread.load();
        UserRecord admin;
        return reread.find("admin", admin) && admin.password == password(version) ? version : -1;
    }

    // Changes admin's password from version 0 to 1, 2, 3 ... through the API until it is killed.
    void changePasswordForever(WriteReporter& reporter) {
        reporter.ready(usersVersion() == 0);
        for (int version = 1;; ++version) {
            JsonValue request;
            request["cmd"] = "chpass";
            request["current"] = password(version - 1);
            request["new"] = password(version);
            // The session's proof is made with the password, so a new one needs a new login.
            login("admin", password(version - 1));
            reporter.begin(version);
            call(serializeJson(request));
            reporter.end(version);
        }
    }

    // Self-signed pairs made by the openssl program; pair 0 is in place at the start.
    void makePairs() {
        REQUIRE_PEERS(kOpenssl);
        for (int pair = 0; pair < kPairs; ++pair) {
            std::string name = board.path("/tmp/pair" + std::to_string(pair));
            Process openssl({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                             "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", name + ".key", "-out",
                             name + ".cer", "-days", "2", "-subj", "/CN=pair" + std::to_string(pair)},
                            board.path("/tmp/openssl.log"));
            ASSERT_EQ(openssl.wait(20000), 0) << readFile(board.path("/tmp/openssl.log"));
            certs_.push_back(readFile(name + ".cer"));
            keys_.push_back(readFile(name + ".key"));
        }
    }
    // Version n of the pair: pair 0 before the first command, then pairs 1 and 2 in turn.
    static int pairOf(int version) { return version == 0 ? 0 : 1 + version % (kPairs - 1); }
    static int versionOfPair(int pair, const KilledWrites& writes) {
        return pairOf(writes.lastBegun) == pair ? writes.lastBegun : writes.lastEnded;
    }
    int indexOf(const std::vector<std::string>& texts, const std::string& text) {
        for (size_t i = 0; i < texts.size(); ++i)
            if (texts[i] == text)
                return static_cast<int>(i);
        return -1;
    }

    // Sends the pairs of versions 1, 2, 3 ... through the API's "certs" until it is killed.
    void replacePairForever(WriteReporter& reporter) {
        reporter.ready(readFile(certPath()) == certs_[0] && readFile(keyPath()) == keys_[0]);
        for (int version = 1;; ++version) {
            JsonValue request;
            request["cmd"] = "certs";
            request["sslcert"] = certs_[pairOf(version)];
            request["sslkey"] = keys_[pairOf(version)];
            reporter.begin(version);
            call(serializeJson(request));
            reporter.end(version);
        }
    }

    std::vector<std::string> certs_;
    std::vector<std::string> keys_;
};

TEST_F(WebFilesKill, AKilledPasswordChangeLeavesTheOldOrTheNewUsersFile) {
    std::mt19937 random(20251207);
    KillTally tally;
    auto begin = std::chrono::steady_clock::now();
    for (int trial = 0; tally.wantsTrial(trial, kTrials); ++trial) {
        writeFile(usersPath(), usersText(0));
        users.load();
        KilledWrites progress;
        std::string failure;
        ASSERT_TRUE(killWhileWriting(
            random, KillTally::delayLimitUs(trial, kTrials, kLongestKillDelayUs),
            [&](WriteReporter& reporter) { changePasswordForever(reporter); }, progress, failure))
            << "trial " << trial << ": " << failure;
        int version = usersVersion();
        ASSERT_TRUE(progress.oldOrNew(version))
            << "trial " << trial << ": the users file holds " << version << " (\"" << readFile(usersPath())
            << "\"), changes begun " << progress.lastBegun << ", ended " << progress.lastEnded;
        tally.count(progress, version);
    }
    std::printf("users file: %s\n", tally.summary(secondsSince(begin)).c_str());
    EXPECT_GT(tally.foundOld, 0);
    EXPECT_GT(tally.foundNew, 0);
}

TEST_F(WebFilesKill, AKilledCertificateChangeLeavesAMatchingOldOrNewPairThatTheServerLoads) {
    makePairs();
    login("admin", "secret");
    std::mt19937 random(20251208);
    KillTally tally;
    auto begin = std::chrono::steady_clock::now();
    for (int trial = 0; tally.wantsTrial(trial, kTrials); ++trial) {
        writeFile(certPath(), certs_[0]);
        writeFile(keyPath(), keys_[0]);
        ::unlink((certPath() + ".tmp").c_str());
        ::unlink((keyPath() + ".tmp").c_str());
        KilledWrites progress;
        std::string failure;
        ASSERT_TRUE(killWhileWriting(
            random, KillTally::delayLimitUs(trial, kTrials, kLongestKillDelayUs),
            [&](WriteReporter& reporter) { replacePairForever(reporter); }, progress, failure))
            << "trial " << trial << ": " << failure;

        // What the daemon does at start.
        SSL_CTX* context = createServerTlsContext();
        ASSERT_NE(context, nullptr) << "trial " << trial;
        bool matching = SSL_CTX_check_private_key(context) == 1;
        SSL_CTX_free(context);
        int certificate = indexOf(certs_, readFile(certPath()));
        int key = indexOf(keys_, readFile(keyPath()));
        ASSERT_TRUE(matching && certificate == key && certificate >= 0)
            << "trial " << trial << ": certificate of pair " << certificate << ", key of pair " << key
            << ", commands begun " << progress.lastBegun << ", ended " << progress.lastEnded;
        ASSERT_TRUE(certificate == pairOf(progress.lastBegun) || certificate == pairOf(progress.lastEnded))
            << "trial " << trial << ": pair " << certificate << ", commands begun " << progress.lastBegun
            << ", ended " << progress.lastEnded;
        tally.count(progress, versionOfPair(certificate, progress));
    }
    std::printf("certificate and key: %s\n", tally.summary(secondsSince(begin)).c_str());
    EXPECT_GT(tally.foundOld, 0);
    EXPECT_GT(tally.foundNew, 0);
}

} // namespace
