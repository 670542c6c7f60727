#include "fieldbus/serial_port.h"

#include "core/epoller.h"
#include "core/log.h"
#include "core/registry.h"

#include <cerrno>
#include <cstring>

namespace {

const char kUnit[] = "smbus";

// The RS-485 transmitter stays on this long after the last bit.
constexpr uint32_t kRtsDelayAfterSendMs = 10;

struct SpeedCode {
    int baud;
    speed_t code;
};

const SpeedCode kSpeedCodes[] = {
    {300, B300},   {600, B600},     {1200, B1200},   {1800, B1800},   {2400, B2400},     {4800, B4800},
    {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
};

const SpeedCode& speedCodeFor(int baud) {
    for (const SpeedCode& entry : kSpeedCodes)
        if (entry.baud == baud)
            return entry;
    static const SpeedCode fallback{SerialPort::kDefaultBaudrate, B9600};
    return fallback;
}

tcflag_t characterSize(int dataBits) {
    switch (dataBits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

} // namespace

void SerialPort::setDevice(const std::string& path) {
    close();
    device_ = path;
}

void SerialPort::setBaudrate(int baud) {
    const SpeedCode& entry = speedCodeFor(baud);
    baudrate_ = entry.baud;
    speedCode_ = entry.code;
    if (isOpen() && !applyLineSettings(*line_))
        LOG_MSG(LOG_ERR, kUnit, "SMBus::setBaudrate(): cannot set requested parameters");
}

bool SerialPort::open() {
    close();
    int error = 0;
    std::unique_ptr<platform::SerialDevice> device = gPlatform->serialPorts().open(device_, error);
    if (!device) {
        LOG_MSG(LOG_ERR, kUnit, "cannot open serial device %s: %s", device_.c_str(), strerror(error));
        return false;
    }
    if (!applyLineSettings(*device) || !enableRs485(*device))
        return false;
    line_ = std::move(device);
    return true;
}

bool SerialPort::applyLineSettings(platform::SerialDevice& device) {
    termios settings{};
    if (int error = device.getAttributes(settings)) {
        LOG_MSG(LOG_ERR, kUnit, "%s: cannot get tty parameters: %s", device_.c_str(), strerror(error));
        return false;
    }
    fillLineSettings(settings);
    if (int error = device.setAttributes(settings)) {
        LOG_MSG(LOG_ERR, kUnit, "%s: cannot set tty parameters: %s", device_.c_str(), strerror(error));
        return false;
    }
    return true;
}

void SerialPort::watch(EPoller& owner, uint32_t events) {
    if (!line_) {
        if (owner.watchedEvents() != 0)
            owner.watch(owner.watchedFd(), 0);
        return;
    }
    if (line_->descriptor() >= 0) {
        owner.watch(line_->descriptor(), events);
        return;
    }
    line_->watch(events, [&owner](uint32_t ready) { owner.onEvents(ready); });
}

IoOutcome SerialPort::read(uint8_t* buffer, size_t size) {
    if (!line_)
        return {IoOutcome::kFailed, 0, EBADF};
    return readOutcome(line_->read(buffer, size));
}

IoOutcome SerialPort::writePending(Bytes& pending) {
    if (!line_)
        return {IoOutcome::kFailed, 0, EBADF};
    platform::SerialDevice& device = *line_;
    return drainPending(pending,
                        [&device](const uint8_t* data, size_t size) { return device.write(data, size); });
}

void SerialPort::fillLineSettings(termios& settings) const {
    ::cfsetispeed(&settings, speedCode_);
    ::cfsetospeed(&settings, speedCode_);
    ::cfmakeraw(&settings);
    // PARODD goes too, so a port that had odd parity before gets the even parity asked for.
    settings.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS);
    settings.c_cflag |= CREAD | CLOCAL | characterSize(dataBits_);
    if (stopBits_ > 1)
        settings.c_cflag |= CSTOPB;
    if (parityEnabled_)
        settings.c_cflag |= oddParity_ ? (PARENB | PARODD) : PARENB;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 10;
}

bool SerialPort::enableRs485(platform::SerialDevice& device) {
    platform::Rs485Result result = gPlatform->rs485().enable(device.descriptor(), kRtsDelayAfterSendMs);
    if (result.step == platform::Rs485Result::kGetFailed) {
        LOG_MSG(LOG_ERR, kUnit, "%s: cannot get RS485 config: %s", device_.c_str(), strerror(result.error));
        return false;
    }
    if (result.step == platform::Rs485Result::kSetFailed) {
        LOG_MSG(LOG_ERR, kUnit, "%s: cannot set RS485 config: %s", device_.c_str(), strerror(result.error));
        return false;
    }
    return true;
}
