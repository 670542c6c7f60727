#include "fieldbus/smbus_slave.h"

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "fieldbus/rtu_framing.h"

#include <cstring>
#include <sys/epoll.h>

namespace {

const char kUnit[] = "smbus";

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
}

void SMBusSlave::rtu_rx_timeout(Bytes frame) {
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
    // The transceiver hands our own transmission back.
    if (frame == lastResponse_) {
        lastResponse_.clear();
        return;
    }
    Bytes response = handleRequest(frame);
    if (!response.empty())
        send(response);
}

void SMBusSlave::send(const Bytes& response) {
    lastResponse_ = response;
    Bytes framed = rtuFrame(response.data(), response.size());
    txBuffer_.insert(txBuffer_.end(), framed.begin(), framed.end());
    if (port_.isOpen())
        port_.watch(*this, EPOLLIN | EPOLLOUT);
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
    if (outcome.kind != IoOutcome::kDone)
        return true;
    port_.watch(*this, EPOLLIN);
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
    rtuInput_.append(chunk, outcome.length);
}

void SMBusSlave::recover() {
    close();
    if (!open())
        reopen_.start("slave_reopen", kReopenDelayMs, [this] { recover(); });
}
