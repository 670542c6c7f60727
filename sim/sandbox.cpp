#include "sim/sandbox.h"

#include "sim/boot_env_image.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kDirectories[] = {
    "/etc",
    "/dev",
    "/tmp",
    "/var",
    "/var/log",
    "/var/spool",
    "/sys",
    "/sys/class",
    "/sys/class/gpio",
    "/usr",
    "/usr/share",
    "/usr/share/fonts",
    "/usr/share/fonts/truetype",
    "/usr/share/velkord",
    "/usr/share/velkord/img",
    "/proc",
    "/proc/net",
};

// The board's TrueType files are not ours to ship: metric-compatible free fonts stand in for them.
const struct {
    const char* boardPath;
    const char* hostFont;
} kFonts[] = {
    {"/usr/share/fonts/truetype/arial.ttf",
     "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"},
    {"/usr/share/fonts/truetype/verdana.ttf", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"},
    {"/usr/share/fonts/truetype/RobotoMono-Regular.ttf",
     "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"},
};

// Stand-ins of the SPI devices: the discrete I/O chain and the analogue converter. The serial ports are
// ptys the simulated platform links in when it starts.
const char* const kDeviceFiles[] = {"/dev/watchdog", "/dev/spidev32766.0", "/dev/spidev32766.2", "/dev/rtc"};

// GPIO lines of the board: the export file and, per line, its direction and value files.
const char* const kGpioLines[] = {"pioA13", "pioA16", "pioA17", "pioB21", "pioB23", "pioD19"};

// The modem page's icons, drawn for the panel and kept with the sources.
const char* const kModemIcons[] = {"antenna0.pgm", "antenna1.pgm", "antenna2.pgm",
                                   "antenna3.pgm", "connected.pgm", "gps.pgm"};

// Creates the directory and any missing parents, as mkdir -p does.
bool makeDirectory(const std::string& path, std::string& error) {
    std::error_code code;
    std::filesystem::create_directories(path, code);
    if (!code)
        return true;
    error = "cannot create " + path + ": " + code.message();
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

bool makeFileWith(const std::string& path, const std::string& content, std::string& error) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot create " + path + ": " + strerror(errno);
        return false;
    }
    ssize_t written = write(fd, content.data(), content.size());
    int writeError = written < 0 ? errno : EIO;
    close(fd);
    if (written == static_cast<ssize_t>(content.size()))
        return true;
    error = "cannot write " + path + ": " + strerror(writeError);
    return false;
}

// A boot environment partition holding the simulated serial number, unless the partition exists.
bool makeBootEnvironmentCopy(const std::string& path, uint8_t generation, std::string& error) {
    if (access(path.c_str(), F_OK) == 0)
        return true;
    return makeFileWith(
        path,
        makeBootEnvironment({"bootdelay=3", "baudrate=115200", std::string("serial#=") + kSimSerialNumber},
                            generation),
        error);
}

// A missing link is made; a link or file that is there already is left as it is.
bool makeLink(const std::string& path, const char* target, std::string& error) {
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0)
        return true;
    if (symlink(target, path.c_str()) == 0)
        return true;
    error = "cannot link " + path + ": " + strerror(errno);
    return false;
}

// The two 1-wire thermometers: the board's own, named in /etc/thermSensorId so it is never taken for
// the oil, and the oil sensor, whose reading the plant writes.
bool makeThermometers(const std::string& root, std::string& error) {
    for (const char* directory :
         {"/sys/bus", "/sys/bus/w1", "/sys/bus/w1/devices", "/sys/devices", "/sys/devices/w1_bus_master1"})
        if (!makeDirectory(root + directory, error))
            return false;
    for (const char* id : {kSimBoardThermometer, kSimOilThermometer}) {
        std::string device = std::string("/sys/devices/w1_bus_master1/") + id;
        if (!makeDirectory(root + device, error))
            return false;
        if (access((root + device + "/w1_slave").c_str(), F_OK) != 0 &&
            !makeFileWith(root + device + "/w1_slave", w1SlaveText(36.5, true), error))
            return false;
        // Relative, as the kernel's links are, so that the sandbox can be moved.
        std::string target = std::string("../../../devices/w1_bus_master1/") + id;
        if (!makeLink(root + "/sys/bus/w1/devices/" + id, target.c_str(), error))
            return false;
    }
    // The bus master is listed among the devices too, as the kernel lists it.
    if (!makeLink(root + "/sys/bus/w1/devices/w1_bus_master1", "../../../devices/w1_bus_master1", error))
        return false;
    if (access((root + "/etc/thermSensorId").c_str(), F_OK) == 0)
        return true;
    return makeFileWith(root + "/etc/thermSensorId", std::string(kSimBoardThermometer) + "\n", error);
}

} // namespace

// The sensor resolves sixteenths of a degree; the driver shows them in whole millidegrees, truncated.
std::string w1SlaveText(double celsius, bool crcGood) {
    long milli = std::lround(celsius * 16.0) * 1000 / 16;
    char text[160];
    std::snprintf(text, sizeof text,
                  "50 05 4b 46 7f ff 0c 10 1c : crc=1c %s\n50 05 4b 46 7f ff 0c 10 1c t=%ld\n",
                  crcGood ? "YES" : "NO", milli);
    return text;
}

bool installSimThermometers(const std::string& root, std::string& error) {
    return makeThermometers(root, error);
}

bool sandboxCommissioned(const std::string& root) {
    return access((root + "/etc/velkord").c_str(), F_OK) == 0;
}

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
    // Both copies valid; the first carries the later generation.
    if (!makeBootEnvironmentCopy(root + "/dev/mtd2", 1, error) ||
        !makeBootEnvironmentCopy(root + "/dev/mtd3", 0, error))
        return false;
    for (const char* line : kGpioLines) {
        std::string base = root + "/sys/class/gpio/" + line;
        if (!makeDirectory(base, error) || !makeFile(base + "/direction", error) ||
            !makeFile(base + "/value", error))
            return false;
    }
    for (const auto& font : kFonts)
        if (!makeLink(root + font.boardPath, font.hostFont, error))
            return false;
    for (const char* icon : kModemIcons)
        if (!makeLink(root + "/usr/share/velkord/img/" + icon, (std::string(VELKORD_DATA_DIR "/img/") + icon).c_str(),
                      error))
            return false;
    // No interface has an IPv6 address until the simulated link comes up.
    if (!makeFile(root + "/proc/net/if_inet6", error))
        return false;
    return true;
}
