#include "platform/serial.h"

#include "platform/platform.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

DescriptorSerialDevice::~DescriptorSerialDevice() {
    if (owned_ && fd_ >= 0)
        ::close(fd_);
}

int DescriptorSerialDevice::getAttributes(termios& settings) {
    return ::tcgetattr(fd_, &settings) == 0 ? 0 : errno;
}

int DescriptorSerialDevice::setAttributes(const termios& settings) {
    ::tcflush(fd_, TCIFLUSH);
    return ::tcsetattr(fd_, TCSANOW, &settings) == 0 ? 0 : errno;
}

ssize_t DescriptorSerialDevice::read(uint8_t* buffer, size_t size) {
    return ::read(fd_, buffer, size);
}

ssize_t DescriptorSerialDevice::write(const uint8_t* data, size_t size) {
    return ::write(fd_, data, size);
}

std::unique_ptr<SerialDevice> DescriptorSerialPorts::open(const std::string& path, int& error) {
    int fd = ::open(rootPath(path).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    error = 0;
    return std::make_unique<DescriptorSerialDevice>(fd, true);
}

namespace {

struct SpeedBaud {
    speed_t code;
    uint64_t baud;
};

const SpeedBaud kSpeeds[] = {
    {B300, 300},   {B600, 600},     {B1200, 1200},   {B1800, 1800},   {B2400, 2400},     {B4800, 4800},
    {B9600, 9600}, {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200},
};

constexpr uint64_t kDefaultBaud = 9600;
constexpr uint64_t kUsPerSecond = 1000000;

uint64_t baudOf(const termios& settings) {
    speed_t code = ::cfgetospeed(&settings);
    for (const SpeedBaud& entry : kSpeeds)
        if (entry.code == code)
            return entry.baud;
    return kDefaultBaud;
}

uint64_t dataBitsOf(const termios& settings) {
    switch (settings.c_cflag & CSIZE) {
    case CS5:
        return 5;
    case CS6:
        return 6;
    case CS7:
        return 7;
    default:
        return 8;
    }
}

} // namespace

uint64_t characterTimeUs(const termios& settings) {
    uint64_t bits = 1 + dataBitsOf(settings) + ((settings.c_cflag & PARENB) ? 1 : 0) +
                    ((settings.c_cflag & CSTOPB) ? 2 : 1);
    return (bits * kUsPerSecond + baudOf(settings) - 1) / baudOf(settings);
}

} // namespace platform
