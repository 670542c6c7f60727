#include "periph/sim5320.h"

#include "config/config.h"
#include "core/log.h"
#include "periph/if_inet6.h"
#include "platform/platform.h"
#include "ui/display.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <termios.h>
#include <unistd.h>

namespace {

const char kUnit[] = "sim5320";
const char kPortPath[] = "/dev/ttyUSB2";
const char kPowerKeyPath[] = "/sys/class/gpio/pioB21/value";
const char kIfInet6Path[] = "/proc/net/if_inet6";
const char kPppInterface[] = "ppp0";
const char kKeyHigh[] = "255\n";
const char kKeyLow[] = "0\n";
constexpr cc_t kReadMinimum = 1;
constexpr cc_t kReadTimeoutDeciseconds = 10;
constexpr int kRssiUnknown = 99;
constexpr int kDbmOffset = 113;
// Beyond any level a module reports; keeps the level arithmetic of a garbled report in range.
constexpr long kRssiLimit = 1000;
// A $GPGSV message number is one digit.
constexpr int kMaxGsvMessage = 9;
constexpr int kDbmPerIcon = 12;
constexpr int kGsvMinFields = 19;
constexpr int kRmcMinFields = 11;
constexpr size_t kRmcTimeMinLength = 7;
constexpr size_t kRmcDateMinLength = 6;
constexpr int kNtpPrecision = -1;

const char* const kInitCommands[] = {
    "AT",        "ATE0",       "AT+CFUN=1",       "AT+AUTOCSQ=1,1", "AT+CSQDELTA=2",
    "AT+CSQ",    "AT+CNAOP=2", "AT+CGPSSWITCH=2", "AT+CGPS=1,1",    "AT+CGPSINFOCFG=1,31",
    "AT+CPSI=5",
};

// Network-mode names by the +CNSMOD status 1-7.
const char* const kNetworkModes[] = {"GSM", "GPRS", "EDGE", "WCDMA", "HSDPA", "HSUPA", "HSPA"};

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

std::string after(const std::string& text, size_t count) {
    return text.size() > count ? text.substr(count) : std::string();
}

} // namespace

Sim5320::Sim5320(Config& config, platform::ModemLink& link, Display* display)
    : HorizontalMenuItem("Модем"), config_(config), link_(link), display_(display) {
    gpsTexts_ = {"Нет данных..."};
    loadIcons();
    drawPage();
    if (int error = powerKey_.open(kPowerKeyPath))
        LOG_MSG(LOG_ERR, kUnit, "cannot open %s: %s", kPowerKeyPath, strerror(error));
    powerOn();
}

Sim5320::~Sim5320() {
    stepTimer_.cancel();
    pppTimer_.cancel();
    closePort();
    powerKey_.write(kKeyHigh);
    platform::sleepMs(kPowerOffPulseMs);
    powerKey_.write(kKeyLow);
    if (display_) {
        display_->removeLayer(&layer_);
        for (Layer& icon : antennas_)
            display_->removeLayer(&icon);
        display_->removeLayer(&connectedIcon_);
        display_->removeLayer(&gpsIcon_);
    }
}

void Sim5320::powerOn() {
    LOG_MSG(LOG_INFO, kUnit, "powering on SIM5320...");
    powerKey_.write(kKeyHigh);
    stepTimer_.start("power_on", kPowerOnPulseMs, [this]() {
        powerKey_.write(kKeyLow);
        stepTimer_.start("", kStartUpWaitMs, [this]() { openPort(); });
    });
}

void Sim5320::powerOff() {
    pppTimer_.cancel();
    closePort();
    LOG_MSG(LOG_INFO, kUnit, "powering off SIM5320...");
    powerKey_.write(kKeyHigh);
    stepTimer_.cancel();
    stepTimer_.start("power_off", kPowerOffPulseMs, [this]() {
        powerKey_.write(kKeyLow);
        stepTimer_.start("", kPowerOffPauseMs, [this]() { powerOn(); });
    });
}

void Sim5320::closePort() {
    if (port_ < 0)
        return;
    watch(-1, 0);
    ::close(port_);
    port_ = -1;
    input_.clear();
    output_.clear();
}

void Sim5320::openPort() {
    port_ = ::open(platform::rootPath(kPortPath).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (port_ < 0) {
        LOG_MSG(LOG_ERR, kUnit, "cannot open %s: %s", kPortPath, strerror(errno));
        powerOff();
        return;
    }
    termios settings;
    if (tcgetattr(port_, &settings) != 0) {
        LOG_MSG(LOG_ERR, kUnit, "cannot get tty parameters: %s", strerror(errno));
    } else {
        cfmakeraw(&settings);
        cfsetispeed(&settings, B115200);
        cfsetospeed(&settings, B115200);
        settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
        settings.c_cflag |= CS8 | CREAD | CLOCAL;
        settings.c_cc[VMIN] = kReadMinimum;
        settings.c_cc[VTIME] = kReadTimeoutDeciseconds;
        if (tcsetattr(port_, TCSANOW, &settings) != 0)
            LOG_MSG(LOG_ERR, kUnit, "cannot set tty parameters: %s", strerror(errno));
    }
    tcflush(port_, TCIFLUSH);
    LOG_MSG(LOG_INFO, kUnit, "SIM5320 powered on, initializing...");
    watch(port_, EPOLLIN);
    startInit();
}

void Sim5320::startInit() {
    commands_.clear();
    output_.clear();
    input_.clear();
    for (const char* command : kInitCommands)
        queueCommand(command);
    apnInUse_ = config_.apn.value;
    pdpTypeInUse_ = config_.pdpType.currentText();
    queueCommand("AT+CGDCONT=1,\"" + pdpTypeInUse_ + "\",\"" + apnInUse_ + "\"");
    queueCommand("AT+CGACT=1,1");
    startPpp();
    pppTimer_.start("ppp-timer", kPppTimeoutMs, [this]() {
        LOG_MSG(LOG_ERR, kUnit, "PPP connection timeout");
        powerOff();
    });
}

void Sim5320::startPpp() {
    if (!link_.startPppService())
        LOG_MSG(LOG_ERR, kUnit, "fork error");
}

void Sim5320::queueCommand(const std::string& command) {
    bool wasEmpty = commands_.empty();
    commands_.push_back(command);
    if (!wasEmpty)
        return;
    errors_ = 0;
    sendCommand();
}

void Sim5320::queueUnlessWaiting(const std::string& command) {
    // The front command is on the line already; only a later one still waits.
    if (commands_.size() > 1 && std::find(commands_.begin() + 1, commands_.end(), command) != commands_.end())
        return;
    queueCommand(command);
}

void Sim5320::sendCommand() {
    if (commands_.empty() || port_ < 0)
        return;
    const std::string& command = commands_.front();
    LOG_MSG(LOG_DEBUG, kUnit, "sending '%s'", command.c_str());
    output_ = command + "\r";
    watch(port_, EPOLLIN | EPOLLOUT);
    stepTimer_.start("next_command", kCommandTimeoutMs, [this, command]() {
        LOG_MSG(LOG_ERR, kUnit, "command timeout (%s)", command.c_str());
        powerOff();
    });
}

void Sim5320::onEvents(uint32_t events) {
    if (port_ < 0)
        return;
    if (events & (EPOLLERR | EPOLLHUP)) {
        powerOff();
        return;
    }
    if (events & EPOLLOUT)
        writeOutput();
    if (port_ >= 0 && (events & EPOLLIN))
        readInput();
}

void Sim5320::writeOutput() {
    if (output_.empty()) {
        watch(port_, EPOLLIN);
        return;
    }
    ssize_t written = ::write(port_, output_.data(), output_.size());
    if (written < 0) {
        if (errno == EAGAIN || errno == EINTR)
            return;
        LOG_MSG(LOG_ERR, kUnit, "error writing %s: %s", kPortPath, strerror(errno));
        powerOff();
        return;
    }
    output_.erase(0, static_cast<size_t>(written));
    if (output_.empty())
        watch(port_, EPOLLIN);
}

void Sim5320::readInput() {
    char chunk[kReadChunk];
    ssize_t got = ::read(port_, chunk, sizeof chunk);
    if (got < 0) {
        if (errno == EAGAIN || errno == EINTR)
            return;
        LOG_MSG(LOG_ERR, kUnit, "error reading %s: %s", kPortPath, strerror(errno));
        powerOff();
        return;
    }
    input_.append(chunk, static_cast<size_t>(got));
    size_t newline;
    while (port_ >= 0 && (newline = input_.find('\n')) != std::string::npos) {
        size_t end = newline;
        while (end > 0 && input_[end - 1] == '\r')
            --end;
        std::string line = input_.substr(0, end);
        input_.erase(0, newline + 1);
        processLine(line);
    }
    if (input_.size() > kMaxInputBuffered) {
        LOG_MSG(LOG_WARNING, kUnit, "no line end in %zu bytes from %s, dropped", input_.size(), kPortPath);
        input_.clear();
    }
}

bool Sim5320::configurationChanged() const {
    return config_.apn.value != apnInUse_ || config_.pdpType.currentText() != pdpTypeInUse_;
}

void Sim5320::processLine(const std::string& line) {
    if (line.empty())
        return;
    if (configurationChanged()) {
        LOG_MSG(LOG_INFO, kUnit, "APN/PDP settings changed. Restarting SIM5320...");
        powerOff();
        return;
    }
    LOG_MSG(LOG_DEBUG, kUnit, "received '%s'", line.c_str());
    if (line == "OK")
        return onOk();
    if (line == "ERROR")
        return onError();
    if (startsWith(line, "+CME ERROR:")) {
        LOG_MSG(LOG_ERR, kUnit, "Sim5320: %s", line.c_str());
        return;
    }
    if (startsWith(line, "+CSQ:"))
        return onSignal(line);
    if (startsWith(line, "+CPSI:"))
        return onSystemInfo(line);
    if (startsWith(line, "+CNSMOD:"))
        return onNetworkMode(line);
    if (startsWith(line, "+CSPN:"))
        return onOperator(line);
    if (line.size() < 4 || !startsWith(line, "$GP"))
        return;
    bool valid = nmeaChecksumValid(line);
    if (valid && startsWith(line, "$GPGSV"))
        onSatellites(line);
    if (startsWith(line, "$GPRMC"))
        onRecommendedMinimum(line, valid);
}

void Sim5320::onOk() {
    if (commands_.empty())
        return;
    stepTimer_.cancel();
    commands_.pop_front();
    errors_ = 0;
    sendCommand();
}

void Sim5320::onError() {
    if (commands_.empty())
        return;
    stepTimer_.cancel();
    ++errors_;
    const std::string& command = commands_.front();
    if (errors_ >= kMaxErrors) {
        LOG_MSG(LOG_ERR, kUnit, "Sim5320: исчерпаны попытки выполнения команды '%s', рестарт модуля...",
                command.c_str());
        powerOff();
        return;
    }
    LOG_MSG(LOG_ERR, kUnit, "Sim5320: команда '%s' завершилась ошибкой, повтор (%d)", command.c_str(),
            errors_);
    sendCommand();
}

int Sim5320::iconIndex(int dbm) {
    if (dbm == 0)
        return kNoIcon;
    return std::min(std::max((dbm + kDbmOffset) / kDbmPerIcon, 0), 3);
}

void Sim5320::onSignal(const std::string& line) {
    long reported = std::strtol(after(line, 6).c_str(), nullptr, 10);
    int rssi = static_cast<int>(std::min(std::max(reported, -kRssiLimit), kRssiLimit));
    int previousIcon = iconIndex(signalDbm_);
    signalDbm_ = rssi == kRssiUnknown ? 0 : 2 * rssi - kDbmOffset;
    int icon = rssi == kRssiUnknown ? kNoIcon : std::min(std::max((2 * rssi) / kDbmPerIcon, 0), 3);
    if (icon != previousIcon) {
        if (previousIcon != kNoIcon)
            antennas_[previousIcon].visible = false;
        if (icon != kNoIcon)
            antennas_[icon].visible = true;
    }
    refresh();
}

void Sim5320::onSystemInfo(const std::string& line) {
    std::vector<std::string> fields = splitFields(after(line, 7));
    if (!fields.empty()) {
        networkMode_ = fields[0];
        refresh();
    }
    // A module that reports faster than it answers would otherwise grow the queue without end: a query
    // still waiting its turn answers for the newer report as well.
    queueUnlessWaiting("AT+CSPN?");
    queueUnlessWaiting("AT+CNSMOD?");
}

void Sim5320::onNetworkMode(const std::string& line) {
    std::vector<std::string> fields = splitFields(after(line, 9));
    if (fields.size() < 2)
        return;
    int status = std::atoi(fields[1].c_str());
    bool known = status >= 1 && status <= static_cast<int>(std::size(kNetworkModes));
    networkMode_ = known ? kNetworkModes[status - 1] : "";
    refresh();
}

void Sim5320::onOperator(const std::string& line) {
    std::string name = splitFields(after(line, 7))[0];
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        name = name.substr(1, name.size() - 2);
    operator_ = name;
    refresh();
}

void Sim5320::onSatellites(const std::string& line) {
    std::vector<std::string> fields = splitFields(after(line, 7));
    // Numbered from 1 as the sentence counts them: field 1 is fields[0].
    if (fields.size() + 1 < static_cast<size_t>(kGsvMinFields)) {
        LOG_MSG(LOG_ERR, kUnit, "Sim5320: too short $GPGSV sentence: %d < %d",
                static_cast<int>(fields.size() + 1), kGsvMinFields);
        return;
    }
    int message = std::atoi(fields[1].c_str());
    if (message < 1 || message > kMaxGsvMessage)
        return;
    size_t first = static_cast<size_t>(message - 1) * 4;
    if (bars_.size() < first + 4)
        bars_.resize(first + 4);
    for (size_t i = 0; i < 4; ++i) {
        Bar& bar = bars_[first + i];
        // The last satellite's signal is the sentence's 19th field, one past the shortest sentence
        // taken: a sentence that ends before it reads 0.
        size_t snrField = 6 + 4 * i;
        bar.satellite = std::atoi(fields[3 + 4 * i].c_str());
        bar.snr = snrField < fields.size() ? std::atoi(fields[snrField].c_str()) : 0;
        bar.set = true;
    }
    refresh();
}

void Sim5320::onRecommendedMinimum(const std::string& line, bool checksumValid) {
    if (checksumValid) {
        timeval arrival = platform::wallTimeOfDay();
        std::vector<std::string> fields = splitFields(after(line, 7));
        if (fields.size() + 1 < static_cast<size_t>(kRmcMinFields)) {
            LOG_MSG(LOG_ERR, kUnit, "Sim5320: too short $GPRMC sentence: %d < %d",
                    static_cast<int>(fields.size() + 1), kRmcMinFields);
        } else {
            // fields[k - 1] is field k.
            const std::string& time = fields[0];
            const std::string& date = fields[8];
            if (fields[1] != "A") {
                gpsTexts_ = {"Нет данных..."};
            } else {
                gpsTexts_ = {gpsTimeText(time), gpsDateText(date), gpsLatitudeText(fields[2], fields[3]),
                             gpsLongitudeText(fields[4], fields[5])};
                if (time.size() >= kRmcTimeMinLength && date.size() >= kRmcDateMinLength)
                    passTimeToNtp(time, date, arrival);
            }
            refresh();
        }
    }
    checkPppLink();
}

void Sim5320::passTimeToNtp(const std::string& time, const std::string& date, const timeval& arrival) {
    key_t key = link_.ntpShmKey();
    if (key == platform::kNoNtpKey)
        return;
    int id = ::shmget(key, platform::kNtpSegmentSize, 0);
    if (id < 0)
        return;
    void* address = ::shmat(id, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1))
        return;
    receiveClock_.update(arrival.tv_sec, arrival.tv_usec);
    auto* segment = static_cast<volatile platform::NtpShmTime*>(address);
    segment->clockTimeStampSec = static_cast<int32_t>(gpsUtcSeconds(time, date));
    segment->clockTimeStampUSec = static_cast<int32_t>(gpsMicroseconds(time));
    segment->receiveTimeStampSec = static_cast<int32_t>(receiveClock_.seconds());
    segment->receiveTimeStampUSec = static_cast<int32_t>(receiveClock_.microseconds());
    segment->leap = 0;
    segment->precision = kNtpPrecision;
    segment->clockTimeStampNSec = 0;
    segment->receiveTimeStampNSec = 0;
    segment->valid = 1;
    ::shmdt(address);
}

void Sim5320::checkPppLink() {
    bool changed = false;
    if (link_.interfaceUp(kPppInterface)) {
        pppTimer_.cancel();
        if (!connected_) {
            connected_ = true;
            connectedIcon_.visible = true;
            changed = true;
        }
    } else if (connected_) {
        connected_ = false;
        connectedIcon_.visible = false;
        changed = true;
    }
    std::string ipv4 = link_.interfaceIpv4(kPppInterface);
    std::string ipv6 = ipv6Text(interfaceIpv6Hex(platform::rootPath(kIfInet6Path), kPppInterface));
    if (ipv4 != ipv4_ || ipv6 != ipv6_) {
        ipv4_ = ipv4;
        ipv6_ = ipv6;
        changed = true;
    }
    if (changed)
        refresh();
}
