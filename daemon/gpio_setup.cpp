#include "daemon/gpio_setup.h"

#include "core/log.h"
#include "platform/platform.h"
#include "platform/unique_fd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace {

const char kUnit[] = "velkord";

// I/O output enable (13), drive reset lines (16, 17), modem power key and others.
const char* const kExportedLines[] = {"13\n", "16\n", "17\n", "53\n", "55\n", "115\n"};

// pioA13 is exported too, but the discrete I/O sets its direction itself.
const char* const kOutputDirectionFiles[] = {
    "/sys/class/gpio/pioA16/direction", "/sys/class/gpio/pioA17/direction",
    "/sys/class/gpio/pioB21/direction", "/sys/class/gpio/pioB23/direction",
    "/sys/class/gpio/pioD19/direction",
};

void writeText(int fd, const char* text) {
    if (::write(fd, text, strlen(text)) < 0) {
        // Write results are not checked: a line that is already exported refuses a second export.
    }
}

} // namespace

bool exportGpioLines() {
    platform::UniqueFd fd(::open(platform::rootPath("/sys/class/gpio/export").c_str(), O_WRONLY | O_CLOEXEC));
    if (!fd) {
        LOG_MSG(LOG_ERR, kUnit, "cannot open /sys/class/gpio/export: %s", strerror(errno));
        return false;
    }
    for (const char* line : kExportedLines)
        writeText(fd.get(), line);
    return true;
}

bool setGpioDirections() {
    for (const char* path : kOutputDirectionFiles) {
        platform::UniqueFd fd(::open(platform::rootPath(path).c_str(), O_WRONLY | O_CLOEXEC));
        if (!fd) {
            LOG_MSG(LOG_ERR, kUnit, "cannot open %s: %s", path, strerror(errno));
            return false;
        }
        writeText(fd.get(), "out\n");
    }
    return true;
}
