#include "fieldbus/smbus_slave.h"

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "fieldbus/rtu_framing.h"
#include "platform/clock.h"

#include <algorithm>
#include <cstring>
#include <sys/epoll.h>

namespace {

const char kUnit[] = "smbus";

constexpr uint32_t kMsPerSecond = 1000;
// A start bit, and a parity bit counted whether or not the line has one.
constexpr int kFramingBits = 2;

bool startsWith(const Bytes& bytes, const Bytes& prefix) {
    return !prefix.empty() && bytes.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

} // namespace

SMBusSlave::SMBusSlave()
    : rtuInput_(port_.device(), kMaxRtuFrame, [this](Bytes frame) { rtu_rx_timeout(std::move(frame)); }) {}

SMBusSlave::~SMBusSlave() {
    close();
}

bool SMBusSlave::open() {
    close();
    reopen_.cancel();
    if (!port_.open())
        return false;
    port_.watch(*this, EPOLLIN);
    return true;
}

void SMBusSlave::close() {
    if (!port_.isOpen())
        return;
    port_.watch(*this, 0);
    port_.close();
    txBuffer_.clear();
    lastResponse_.clear();
}

void SMBusSlave::rtu_rx_timeout(Bytes frame) {
    if (!dropEcho(frame))
        return;
    if (frame.size() < 4) {
        LOG_MSG(LOG_DEBUG, kUnit, "%s: received message too short", device().c_str());
        count(BusCounter::kShort);
        return;
    }
    RtuCrc crc = rtuCrcOf(frame);
    if (!crc.matches()) {
        LOG_MSG(LOG_DEBUG, kUnit, "%s: incorrect CRC in received RTU (received: 0x%04x, computed: 0x%04x)",
                device().c_str(), crc.received, crc.computed);
        count(BusCounter::kBadCrc);
        return;
    }
    frame.resize(frame.size() - 2);
    if (frame[0] != 0 && static_cast<float>(frame[0]) != gConfig->modbusAddress.value)
        return;
    Bytes response = handleRequest(frame);
    if (!response.empty())
        send(response);
}

// The transceiver hands our own transmission back while it goes out. Only a burst that began before
// the answer could have left the line is taken for its echo, so a line that does not echo cannot eat
// a master's retry of the same write. A request that follows the echo without a pause is kept.
bool SMBusSlave::dropEcho(Bytes& frame) {
    if (lastResponse_.empty())
        return true;
    bool inTime = !echoDeadlineSet_ || static_cast<int32_t>(burstStartMs_ - echoDeadlineMs_) <= 0;
    bool echo = inTime && startsWith(frame, lastResponse_);
    if (echo)
        frame.erase(frame.begin(), frame.begin() + static_cast<ptrdiff_t>(lastResponse_.size()));
    lastResponse_.clear();
    echoDeadlineSet_ = false;
    return !frame.empty();
}

uint32_t SMBusSlave::lineTimeMs(size_t bytes) const {
    int baud = port_.baudrate() > 0 ? port_.baudrate() : SerialPort::kDefaultBaudrate;
    uint64_t bits = bytes * static_cast<uint64_t>(kFramingBits + port_.dataBits() + port_.stopBits());
    return static_cast<uint32_t>((bits * kMsPerSecond + static_cast<uint64_t>(baud) - 1) /
                                 static_cast<uint64_t>(baud));
}

void SMBusSlave::send(const Bytes& response) {
    Bytes framed = rtuFrame(response.data(), response.size());
    lastResponse_ = framed;
    echoDeadlineSet_ = false;
    txBuffer_.insert(txBuffer_.end(), framed.begin(), framed.end());
    updateWatch();
}

// Reading stops while the answers held reach the limit, as a TCP client that does not read is held.
void SMBusSlave::updateWatch() {
    if (!port_.isOpen())
        return;
    uint32_t events = txBuffer_.size() < kMaxPendingOutput ? uint32_t{EPOLLIN} : 0;
    if (!txBuffer_.empty())
        events |= EPOLLOUT;
    port_.watch(*this, events);
}

void SMBusSlave::onEvents(uint32_t events) {
    if (events & (EPOLLERR | EPOLLHUP)) {
        LOG_MSG(LOG_ERR, kUnit, "%s: i/o error, trying to reopen", device().c_str());
        count(BusCounter::kIoError);
        recover();
        return;
    }
    if ((events & EPOLLOUT) && !writePending())
        return;
    if (events & EPOLLIN)
        readInput();
}

bool SMBusSlave::writePending() {
    IoOutcome outcome = port_.writePending(txBuffer_);
    if (outcome.kind == IoOutcome::kFailed) {
        LOG_MSG(LOG_ERR, kUnit, "error writing %s: %s", device().c_str(), strerror(outcome.error));
        recover();
        return false;
    }
    if (outcome.kind != IoOutcome::kDone) {
        updateWatch();
        return true;
    }
    updateWatch();
    if (!lastResponse_.empty()) {
        echoDeadlineSet_ = true;
        echoDeadlineMs_ = platform::monotonicMs() + lineTimeMs(lastResponse_.size()) + kEchoMarginMs;
    }
    if (outcome.length > 0)
        count(BusCounter::kTx);
    return true;
}

void SMBusSlave::readInput() {
    uint8_t chunk[kReadChunk];
    IoOutcome outcome = port_.read(chunk, sizeof chunk);
    if (outcome.kind == IoOutcome::kRetry)
        return;
    if (outcome.kind == IoOutcome::kFailed) {
        LOG_MSG(LOG_ERR, kUnit, "error reading %s: %s", device().c_str(), strerror(outcome.error));
        recover();
        return;
    }
    if (outcome.kind == IoOutcome::kEnd) {
        // End of file on a serial port: the line is gone, as with a hang-up.
        LOG_MSG(LOG_ERR, kUnit, "%s: i/o error, trying to reopen", device().c_str());
        count(BusCounter::kIoError);
        recover();
        return;
    }
    if (rtuInput_.burstLength() == 0)
        burstStartMs_ = platform::monotonicMs();
    rtuInput_.append(chunk, outcome.length);
}

void SMBusSlave::recover() {
    close();
    if (!open())
        reopen_.start("slave_reopen", kReopenDelayMs, [this] { recover(); });
}
