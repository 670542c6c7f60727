#include "core/sysfs_file.h"

#include "platform/platform.h"
#include "platform/unique_fd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

int writeSysfsFile(const char* absolutePath, const char* text) {
    // Truncating costs nothing on sysfs and leaves a stand-in file holding the last value, as the line does.
    platform::UniqueFd fd(::open(platform::rootPath(absolutePath).c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (!fd)
        return errno;
    if (::write(fd.get(), text, std::strlen(text)) < 0) {
        // Write results are not checked: the attribute takes the value or the line is not there.
    }
    return 0;
}
