#pragma once
// The web users: name, stored password, permission mask and comment, kept in the users file.

#include <cstdint>
#include <map>
#include <string>

struct UserRecord {
    std::string password;
    uint32_t permissions = 0; // bit 0: may change the controller
    std::string comment;
};

// The permission bit of the commands that change the controller.
constexpr uint32_t kPermissionControl = 1;

class UserList {
public:
    // The users file as the board names it ("/usr/share/velkord/users.txt"); resolved under the
    // platform's root when read or written.
    explicit UserList(std::string path = "/usr/share/velkord/users.txt") : path_(std::move(path)) {}

    // Reads the file into the table; a missing file leaves the table as it is. Bad lines are logged.
    void load();
    // Writes the table to "path.tmp" and renames it over the file; false (logged) when that failed.
    bool save() const;

    bool find(const std::string& name, UserRecord& record) const;
    // Replaces the password of an existing user in the table (not saved).
    bool setPassword(const std::string& name, const std::string& password);

    const std::map<std::string, UserRecord>& users() const { return users_; }

private:
    std::string path_;
    std::map<std::string, UserRecord> users_;
};
