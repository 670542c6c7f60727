#include "web/user_list.h"

#include "core/log.h"
#include "platform/platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace {

const char kUnit[] = "userList";

// One line "name:password:permissions:comment"; false when it is not of that form.
bool parseLine(const std::string& line, std::string& name, UserRecord& record) {
    size_t first = line.find(':');
    if (first == std::string::npos)
        return false;
    size_t second = line.find(':', first + 1);
    if (second == std::string::npos)
        return false;
    name = line.substr(0, first);
    record.password = line.substr(first + 1, second - first - 1);
    const char* number = line.c_str() + second + 1;
    char* end = nullptr;
    record.permissions = static_cast<uint32_t>(std::strtoul(number, &end, 10));
    if (*end != ':')
        return false;
    // The rest of the line, whatever bytes it holds, as the name and password are taken.
    record.comment = line.substr(static_cast<size_t>(end + 1 - line.c_str()));
    return true;
}

} // namespace

void UserList::load() {
    std::ifstream file(platform::rootPath(path_));
    if (!file)
        return;
    std::string line;
    int lineNumber = 0;
    while (std::getline(file, line)) {
        ++lineNumber;
        std::string name;
        UserRecord record;
        if (!parseLine(line, name, record)) {
            LOG_MSG(LOG_ERR, kUnit, "invalid line %d", lineNumber);
            continue;
        }
        users_[name] = record;
    }
}

bool UserList::save() const {
    std::string target = platform::rootPath(path_);
    std::string temporary = target + ".tmp";
    FILE* file = std::fopen(temporary.c_str(), "w");
    if (!file) {
        LOG_MSG(LOG_ERR, kUnit, "cannot open %s", path_.c_str());
        return false;
    }
    bool ok = true;
    for (const auto& [name, record] : users_) {
        // Written byte for byte: a NUL inside a field must not cut the field (and so change a password).
        std::string line = name + ':' + record.password + ':' + std::to_string(record.permissions) + ':' +
                           record.comment + '\n';
        if (std::fwrite(line.data(), 1, line.size(), file) != line.size())
            ok = false;
        std::fflush(file);
    }
    // On disk before the rename, so a power cut leaves the old file or the whole new one.
    if (std::fflush(file) != 0 || ::fsync(fileno(file)) != 0)
        ok = false;
    if (std::fclose(file) != 0)
        ok = false;
    // A half-written table must not replace the file that still holds every user.
    if (!ok || std::rename(temporary.c_str(), target.c_str()) != 0) {
        LOG_MSG(LOG_ERR, kUnit, "cannot write %s", path_.c_str());
        return false;
    }
    return true;
}

bool UserList::find(const std::string& name, UserRecord& record) const {
    auto it = users_.find(name);
    if (it == users_.end())
        return false;
    record = it->second;
    return true;
}

bool UserList::setPassword(const std::string& name, const std::string& password) {
    auto it = users_.find(name);
    if (it == users_.end())
        return false;
    it->second.password = password;
    return true;
}
