#include "sim/sim_modem.h"

#include "platform/platform.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

const char kLinkInterface[] = "ppp0";
constexpr int kCmeErrorCode = 100;
constexpr int kLostAfterChecks = 5;

int pendingBytes(int fd) {
    int pending = 0;
    if (fd < 0 || ::ioctl(fd, FIONREAD, &pending) != 0)
        return 0;
    return pending;
}

} // namespace

SimModem::SimModem(int fd, platform::SimModemLink& link) : fd_(fd), link_(link) {
    watch(fd_, EPOLLIN);
}

SimModem::~SimModem() {
    watch(-1, 0);
}

std::string SimModem::withChecksum(const std::string& body) {
    unsigned sum = 0;
    for (unsigned char c : body)
        sum ^= c;
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail;
}

void SimModem::watchDaemonSide(const std::string& ptyPath) {
    daemonSide_.reset(::open(ptyPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
}

bool SimModem::inFlight() {
    int pending = pendingBytes(fd_) + pendingBytes(daemonSide_.get()) + static_cast<int>(output_.size());
    if (pending == 0) {
        stalledChecks_ = 0;
        lastPending_ = 0;
        return false;
    }
    if (pending != lastPending_) {
        lastPending_ = pending;
        stalledChecks_ = 0;
        return true;
    }
    return ++stalledChecks_ < kLostAfterChecks;
}

void SimModem::failCommand(const std::string& command, int count) {
    failingCommand_ = command;
    failuresLeft_ = count;
}

void SimModem::setSignal(int rssi) {
    rssi_ = rssi;
    if (autoSignal_)
        send("\r\n+CSQ: " + std::to_string(rssi_) + ",99\r\n");
}

void SimModem::setPosition(const std::string& latitude, char north, const std::string& longitude, char east) {
    latitude_ = latitude;
    north_ = north;
    longitude_ = longitude;
    east_ = east;
}

void SimModem::setLink(bool up, const std::string& ipv4, const std::string& ipv6Hex) {
    link_.setInterface(kLinkInterface, up, ipv4, ipv6Hex);
}

void SimModem::onEvents(uint32_t events) {
    if (events & EPOLLOUT)
        flush();
    if (events & EPOLLIN)
        readInput();
}

void SimModem::readInput() {
    char chunk[256];
    ssize_t got = ::read(fd_, chunk, sizeof chunk);
    if (got <= 0)
        return;
    input_.append(chunk, static_cast<size_t>(got));
    size_t end;
    while ((end = input_.find('\r')) != std::string::npos) {
        std::string command = input_.substr(0, end);
        input_.erase(0, end + 1);
        if (!command.empty())
            answer(command);
    }
    if (input_.size() > kMaxBuffered)
        input_.clear();
}

void SimModem::answer(const std::string& command) {
    ++commandsReceived_;
    history_.push_back(command);
    if (history_.size() > kHistoryKept)
        history_.pop_front();
    lastCommand_ = command;
    if (reply_ == Reply::Silent)
        return;
    if (echo_)
        send(command + "\r\n");
    if (failuresLeft_ > 0 && command == failingCommand_) {
        --failuresLeft_;
        send("\r\nERROR\r\n");
        return;
    }
    if (reply_ == Reply::Error) {
        send("\r\nERROR\r\n");
        return;
    }
    if (reply_ == Reply::CmeError) {
        send("\r\n+CME ERROR: " + std::to_string(kCmeErrorCode) + "\r\n");
        return;
    }
    if (command == "ATE0")
        echo_ = false;
    else if (command == "AT+AUTOCSQ=1,1")
        autoSignal_ = true;
    else if (command == "AT+CSQ")
        send("\r\n+CSQ: " + std::to_string(rssi_) + ",99\r\n");
    else if (command == "AT+CSPN?")
        send("\r\n+CSPN: \"" + operator_ + "\",0\r\n");
    else if (command == "AT+CNSMOD?")
        send("\r\n+CNSMOD: 0,4\r\n");
    else if (command == "AT+CPSI=5")
        systemInfoTimer_.start("sim_cpsi", kSystemInfoPeriodMs, [this]() { sendSystemInfo(); });
    else if (command == "AT+CGPS=1,1")
        sentenceTimer_.start("sim_nmea", kSentencePeriodMs, [this]() { sendSentences(); });
    send("\r\nOK\r\n");
}

void SimModem::sendSystemInfo() {
    send("\r\n+CPSI: WCDMA,Online,250-01,0x1A2B,12345,WCDMA IMT 2000,10737,0,-80,-10\r\n");
    systemInfoTimer_.start("sim_cpsi", kSystemInfoPeriodMs, [this]() { sendSystemInfo(); });
}

void SimModem::sendSentences() {
    sentenceTimer_.start("sim_nmea", kSentencePeriodMs, [this]() { sendSentences(); });
    if (drop_ > 0) {
        --drop_;
        return;
    }
    timeval now = platform::wallTimeOfDay();
    time_t seconds = now.tv_sec;
    tm utc;
    gmtime_r(&seconds, &utc);
    char time[16];
    char date[8];
    std::snprintf(time, sizeof time, "%02d%02d%02d.%02ld", utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<long>(now.tv_usec / 10000));
    std::snprintf(date, sizeof date, "%02d%02d%02d", utc.tm_mday, utc.tm_mon + 1, utc.tm_year % 100);
    std::string rmc = std::string("GPRMC,") + time + (fix_ ? ",A," : ",V,") + latitude_ + "," + north_ + "," +
                      longitude_ + "," + east_ + ",0.0,0.0," + date + ",,,A";
    std::string gsv1 = "GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45";
    std::string gsv2 = "GPGSV,2,2,08,17,30,120,33,19,55,060,28,22,12,250,20,31,65,300,50";
    std::string burst =
        withChecksum(rmc) + "\r\n" + withChecksum(gsv1) + "\r\n" + withChecksum(gsv2) + "\r\n";
    if (corrupt_ > 0) {
        --corrupt_;
        // The checksum of every sentence of the burst is off by one.
        for (size_t star = burst.find('*'); star != std::string::npos; star = burst.find('*', star + 1))
            burst[star + 2] = burst[star + 2] == '0' ? '1' : '0';
    }
    send(burst);
}

void SimModem::send(const std::string& text) {
    // A line nobody reads (the daemon's port closed) takes no more than this; the rest is lost.
    if (output_.size() > kMaxBuffered * 16)
        return;
    output_ += text;
    flush();
}

void SimModem::flush() {
    while (!output_.empty()) {
        ssize_t written = ::write(fd_, output_.data(), output_.size());
        if (written <= 0)
            break;
        output_.erase(0, static_cast<size_t>(written));
    }
    watch(fd_, output_.empty() ? EPOLLIN : EPOLLIN | EPOLLOUT);
}
