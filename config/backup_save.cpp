#include "config/backup_save.h"

#include "config/xml_document.h"
#include "core/log.h"
#include "platform/unique_fd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char kUnit[] = "config";

// Returns 0 once the content is wholly on disk, or the errno value of the failure.
int writeDurably(const std::string& path, const std::string& content) {
    platform::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd)
        return errno;
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd.get(), content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd.get()) != 0)
        return errno;
    return ::close(fd.release()) == 0 ? 0 : errno;
}

bool existsButDoesNotParse(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0 && !parseXmlFile(path);
}

bool renameLogged(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) == 0)
        return true;
    LOG_MSG(LOG_ERR, kUnit, "cannot rename %s to %s", from.c_str(), to.c_str());
    return false;
}

} // namespace

void saveWithBackup(xmlDoc* document, const std::string& path) {
    std::string backup = path + ".bak";
    std::string temporary = path + ".tmp";
    std::string content = formatXmlDocument(document);
    if (content.size() > kMaxXmlFileBytes) {
        LOG_MSG(LOG_ERR, kUnit, "not saving %s: %zu bytes, more than the %zu a configuration may hold",
                path.c_str(), content.size(), kMaxXmlFileBytes);
        return;
    }
    // The setters keep every value storable; should one still slip through, the files that load stay.
    if (!parseXmlText(content)) {
        LOG_MSG(LOG_ERR, kUnit, "not saving %s: the new content would not load", path.c_str());
        return;
    }
    if (int error = writeDurably(temporary, content)) {
        // The file and its backup stay as they were.
        LOG_MSG(LOG_ERR, kUnit, "cannot write %s: %s", temporary.c_str(), strerror(error));
        ::unlink(temporary.c_str());
        return;
    }
    // A file that does not load (left by a crash or damaged) must not replace a good backup; the
    // loader fell back to that backup, which is the version before this write.
    if (existsButDoesNotParse(path))
        LOG_MSG(LOG_WARNING, kUnit, "%s is damaged, keeping %s", path.c_str(), backup.c_str());
    else
        renameLogged(path, backup);
    // Where the file cannot be replaced (a directory stands in its place) the new content becomes the
    // backup, which the loader falls back to, so the settings are not lost.
    if (!renameLogged(temporary, path) && renameLogged(temporary, backup))
        LOG_MSG(LOG_ERR, kUnit, "saved the settings to %s instead of %s", backup.c_str(), path.c_str());
    ::unlink(temporary.c_str());
    ::sync();
}
