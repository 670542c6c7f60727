// The cookie check of the web API: no set of cookies passes without a valid proof (a nonce only the
// server can make for that time, a proof bound to the user's stored password, a time within the
// lifetime), and every valid one does. Parts can be made right by the harness so the fuzzer reaches
// past each check.

#include "platform/clock.h"
#include "tests/fuzz/fuzz_board.h"
#include "web/authentication.h"
#include "web/md5_hex.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

const char kUsersFile[] = "/usr/share/velkord/users.txt";
const char kSecret[] = "fuzzing secret";

class CookieTransaction : public HttpTransaction {
public:
    bool sendResponse(int, std::unique_ptr<Response>) override { return true; }
    std::string remoteAddress() override { return "[127.0.0.1]"; }
};

UserList& users() {
    static UserList* list = [] {
        writeWholeFile(FuzzBoard::get().path(kUsersFile), "admin:secret:1:\nviewer::0:the empty password\n");
        auto* loaded = new UserList(kUsersFile);
        loaded->load();
        return loaded;
    }();
    return *list;
}

std::vector<std::string> fieldsOf(const uint8_t* data, size_t size) {
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n')
            fields.emplace_back();
        else
            fields.back() += static_cast<char>(data[i]);
    }
    fields.resize(std::max<size_t>(fields.size(), 4));
    return fields;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Flags: bit 0, the nonce is made right for the time; bit 1, the proof is made right for the
    // user's stored password; bit 2, the time is a recent one, byte 1 minutes ago; bit 3, the user is
    // the admin. Then the cookies login, time, nonce and password, one a line.
    if (size < 2)
        return 0;
    FuzzBoard& board = FuzzBoard::get();
    board.clearLog();
    uint8_t flags = data[0];
    std::vector<std::string> fields = fieldsOf(data + 2, size - 2);
    static Authentication authentication(users(), kSecret);
    long long now = platform::wallTime();
    if (flags & 8)
        fields[0] = "admin";
    if (flags & 4)
        fields[1] = std::to_string(now - 60LL * data[1]);
    if (flags & 1)
        fields[2] = md5Hex(fields[1] + kSecret);
    UserRecord user;
    bool known = users().find(fields[0], user);
    if ((flags & 2) && known)
        fields[3] = md5Hex(fields[0] + user.password + fields[1] + fields[2]);

    CookieTransaction transaction;
    transaction.cookies["login"] = fields[0];
    transaction.cookies["time"] = fields[1];
    transaction.cookies["nonce"] = fields[2];
    transaction.cookies["password"] = fields[3];
    JsonValue request;
    JsonValue response;
    bool passed = authentication.authenticate(transaction, request, response);

    bool nonceValid = fields[2] == md5Hex(fields[1] + kSecret);
    bool proofValid = known && fields[3] == md5Hex(fields[0] + user.password + fields[1] + fields[2]);
    errno = 0;
    long long issued = std::strtoll(fields[1].c_str(), nullptr, 10);
    bool timely = !fields[1].empty() && issued <= now && issued >= now - kProofLifetimeSeconds;
    bool expected = nonceValid && proofValid && timely;
    FUZZ_CHECK(!passed || expected, "cookies passed without a valid proof");
    FUZZ_CHECK(passed || !expected, "a valid proof was refused");
    if (passed) {
        const JsonValue* name = request.find("_USERNAME");
        FUZZ_CHECK(name && name->text == fields[0], "the user was not named");
    } else {
        FUZZ_CHECK(response.find("error") != nullptr, "refused without an error");
    }
    return 0;
}
