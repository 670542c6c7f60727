#include "core/sysfs_file.h"

#include "platform/platform.h"
#include "platform/unique_fd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

void tellPlatform(const std::string& absolutePath, const char* text) {
    if (platform::gPlatform)
        platform::gPlatform->attributeWritten(absolutePath, text);
}

} // namespace

int writeSysfsFile(const char* absolutePath, const char* text) {
    // Truncating costs nothing on sysfs and leaves a stand-in file holding the last value, as the line does.
    platform::UniqueFd fd(::open(platform::rootPath(absolutePath).c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (!fd)
        return errno;
    if (::write(fd.get(), text, std::strlen(text)) < 0) {
        // Write results are not checked: the attribute takes the value or the line is not there.
    }
    tellPlatform(absolutePath, text);
    return 0;
}

int SysfsValueFile::open(const char* absolutePath) {
    fd_.reset(::open(platform::rootPath(absolutePath).c_str(), O_WRONLY | O_CLOEXEC));
    if (!fd_)
        return errno;
    path_ = absolutePath;
    return 0;
}

void SysfsValueFile::write(const char* text) {
    if (!fd_)
        return;
    // sysfs takes each write from the start; the truncation keeps a stand-in file to the last value.
    // Results are not checked, as on the board: the line takes the value or is not there.
    (void)!::ftruncate(fd_.get(), 0);
    (void)!::pwrite(fd_.get(), text, std::strlen(text), 0);
    tellPlatform(path_, text);
}
