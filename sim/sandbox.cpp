#include "sim/sandbox.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kDirectories[] = {
    "/etc", "/dev", "/tmp", "/var", "/var/log", "/var/spool", "/sys", "/sys/class", "/sys/class/gpio",
};

// Stand-ins of the SPI devices: the discrete I/O chain and the analogue converter. The serial ports are
// ptys the simulated platform links in when it starts.
const char* const kDeviceFiles[] = {"/dev/watchdog", "/dev/spidev32766.0", "/dev/spidev32766.2"};

// GPIO lines of the board: the export file and, per line, its direction and value files.
const char* const kGpioLines[] = {"pioA13", "pioA16", "pioA17", "pioB21", "pioB23", "pioD19"};

bool makeDirectory(const std::string& path, std::string& error) {
    if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST)
        return true;
    error = "cannot create " + path + ": " + strerror(errno);
    return false;
}

bool makeFile(const std::string& path, std::string& error) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot create " + path + ": " + strerror(errno);
        return false;
    }
    close(fd);
    return true;
}

} // namespace

bool prepareSandbox(const std::string& root, std::string& error) {
    if (!makeDirectory(root, error))
        return false;
    for (const char* directory : kDirectories)
        if (!makeDirectory(root + directory, error))
            return false;
    for (const char* device : kDeviceFiles)
        if (!makeFile(root + device, error))
            return false;
    if (!makeFile(root + "/sys/class/gpio/export", error))
        return false;
    for (const char* line : kGpioLines) {
        std::string base = root + "/sys/class/gpio/" + line;
        if (!makeDirectory(base, error) || !makeFile(base + "/direction", error) ||
            !makeFile(base + "/value", error))
            return false;
    }
    return true;
}
