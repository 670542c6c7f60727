#include "config/config_restore.h"

#include "config/config_check.h"
#include "core/log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

const char kUnit[] = "config";

} // namespace

int putRestoredConfigInPlace(const std::string& restored, const std::string& path) {
    std::string backup = path + ".bak";
    std::string reason;
    // Between the two renames only the backup is there to load: it must not be a damaged working file.
    bool keepWorking = checkMainConfigFile(path, reason);
    if (!keepWorking && ::access(path.c_str(), F_OK) == 0)
        LOG_MSG(LOG_WARNING, kUnit, "%s does not load (%s), keeping %s", path.c_str(), reason.c_str(),
                backup.c_str());
    if (keepWorking && std::rename(path.c_str(), backup.c_str()) != 0)
        LOG_MSG(LOG_ERR, kUnit, "cannot keep %s as .bak: %s", path.c_str(), strerror(errno));
    if (std::rename(restored.c_str(), path.c_str()) != 0) {
        int error = errno;
        LOG_MSG(LOG_ERR, kUnit, "cannot rename %s: %s", restored.c_str(), strerror(error));
        if (keepWorking)
            std::rename(backup.c_str(), path.c_str());
        return error;
    }
    // The restart that follows must find the new file on disk.
    ::sync();
    return 0;
}
