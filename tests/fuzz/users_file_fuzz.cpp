// The web users file: any content loads without harm, and what was loaded, saved and loaded again is
// the same table of users, passwords, permissions and comments.

#include "tests/fuzz/fuzz_board.h"
#include "web/user_list.h"

#include <cstddef>
#include <cstdint>

namespace {

const char kUsersFile[] = "/usr/share/velkord/users.txt";

bool sameTable(const UserList& a, const UserList& b) {
    if (a.users().size() != b.users().size())
        return false;
    for (const auto& [name, record] : a.users()) {
        UserRecord other;
        if (!b.find(name, other) || other.password != record.password ||
            other.permissions != record.permissions || other.comment != record.comment)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBoard& board = FuzzBoard::get();
    board.clearLog();
    writeWholeFile(board.path(kUsersFile), std::string(reinterpret_cast<const char*>(data), size));
    UserList loaded(kUsersFile);
    loaded.load();
    FUZZ_CHECK(loaded.save(), "the table could not be saved");
    UserList reloaded(kUsersFile);
    reloaded.load();
    FUZZ_CHECK(sameTable(loaded, reloaded), "the saved table reads back differently");
    return 0;
}
