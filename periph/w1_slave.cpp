#include "periph/w1_slave.h"

#include "platform/unique_fd.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <locale>
#include <sstream>
#include <unistd.h>

namespace {

// The driver's text is two lines of some 40 bytes; anything far longer is not a thermometer.
constexpr size_t kMaxFileBytes = 4096;
constexpr float kMilliPerDegree = 1000.0f;

bool crcConfirmed(const std::string& line) {
    size_t crc = line.find("crc=");
    return crc != std::string::npos && line.find("YES", crc) != std::string::npos;
}

} // namespace

bool parseW1Slave(const std::string& text, float& celsius) {
    bool valid = false;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (crcConfirmed(line))
            valid = true;
        size_t at = line.find("t=");
        if (at == std::string::npos)
            continue;
        if (!valid)
            return false;
        const char* digits = line.c_str() + at + 2;
        char* end = nullptr;
        errno = 0;
        long milli = std::strtol(digits, &end, 10);
        if (end == digits || errno != 0)
            return false;
        celsius = static_cast<float>(milli) / kMilliPerDegree;
        return true;
    }
    return false;
}

bool readW1Slave(const std::string& path, float& celsius) {
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return false;
    std::string text;
    char buffer[512];
    while (text.size() < kMaxFileBytes) {
        ssize_t length = ::read(fd.get(), buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0)
            return false;
        if (length == 0)
            break;
        text.append(buffer, static_cast<size_t>(length));
    }
    return parseW1Slave(text, celsius);
}

std::string formatCelsius(float celsius) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << celsius;
    return text.str();
}
