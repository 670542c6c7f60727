#include "web/tls_pair.h"

#include "core/log.h"
#include "core/write_all.h"
#include "platform/platform.h"
#include "platform/unique_fd.h"
#include "web/tls_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kUnit[] = "web_api";
const mode_t kCertificateMode = 0644;
const mode_t kKeyMode = 0600;
const char kTemporarySuffix[] = ".tmp";

std::string temporaryOf(const std::string& path) {
    return path + kTemporarySuffix;
}

// Writes the whole text to "path.tmp" with the mode and syncs it; false (logged) when any step failed.
bool writeTemporary(const std::string& path, const std::string& content, mode_t mode) {
    std::string temporary = temporaryOf(path);
    platform::UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
    if (!fd) {
        LOG_MSG(LOG_ERR, kUnit, "cannot open %s: %s", temporary.c_str(), strerror(errno));
        return false;
    }
    bool ok = ::fchmod(fd.get(), mode) == 0 && writeAll(fd.get(), content.data(), content.size()) &&
              ::fsync(fd.get()) == 0;
    if (!ok) {
        LOG_MSG(LOG_ERR, kUnit, "cannot write %s: %s", temporary.c_str(), strerror(errno));
        ::unlink(temporary.c_str());
    }
    return ok;
}

void syncDirectoryOf(const std::string& path) {
    std::string directory = path.substr(0, path.rfind('/') + 1);
    platform::UniqueFd fd(
        ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd)
        ::fsync(fd.get());
}

bool exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

} // namespace

bool replaceServerTlsPair(const std::string& certificate, const std::string& key) {
    std::string certPath = platform::rootPath(kServerCertificatePath);
    std::string keyPath = platform::rootPath(kServerKeyPath);
    // The key is written first: a certificate under its temporary name without a key beside it then
    // always means the key is already in place (see completeServerTlsPair).
    if (!writeTemporary(keyPath, key, kKeyMode))
        return false;
    if (!writeTemporary(certPath, certificate, kCertificateMode)) {
        ::unlink(temporaryOf(keyPath).c_str());
        return false;
    }
    if (std::rename(temporaryOf(keyPath).c_str(), keyPath.c_str()) != 0) {
        LOG_MSG(LOG_ERR, kUnit, "cannot rename the new key into place: %s", strerror(errno));
        ::unlink(temporaryOf(keyPath).c_str());
        ::unlink(temporaryOf(certPath).c_str());
        return false;
    }
    // The certificate's name is written to the directory before the key's can be lost.
    syncDirectoryOf(keyPath);
    if (std::rename(temporaryOf(certPath).c_str(), certPath.c_str()) != 0)
        LOG_MSG(LOG_ERR, kUnit, "cannot rename the new certificate into place: %s", strerror(errno));
    syncDirectoryOf(certPath);
    return true;
}

void completeServerTlsPair() {
    std::string certPath = platform::rootPath(kServerCertificatePath);
    std::string keyPath = platform::rootPath(kServerKeyPath);
    bool keyWaiting = exists(temporaryOf(keyPath));
    bool certificateWaiting = exists(temporaryOf(certPath));
    if (certificateWaiting && !keyWaiting) {
        if (std::rename(temporaryOf(certPath).c_str(), certPath.c_str()) == 0) {
            LOG_MSG(LOG_WARNING, kUnit, "completed the interrupted replacement of the certificate");
            syncDirectoryOf(certPath);
            return;
        }
        LOG_MSG(LOG_ERR, kUnit, "cannot complete the replacement of the certificate: %s", strerror(errno));
    }
    // Written before either rename: the pair in place is still the old one.
    if (keyWaiting)
        ::unlink(temporaryOf(keyPath).c_str());
    if (certificateWaiting)
        ::unlink(temporaryOf(certPath).c_str());
}
