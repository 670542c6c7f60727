#include "fieldbus/smbus.h"

#include "core/log.h"

#include <cstring>
#include <sys/epoll.h>

SMBus* gDriveBus = nullptr;

namespace {

const char kUnit[] = "smbus";

} // namespace

SMBus::SMBus()
    : rtuInput_(port_.device(), kReceiveCapacity, [this](Bytes frame) { rtu_rx_timeout(std::move(frame)); }),
      asciiInput_([this](const std::string& message) { engine_.process_msg(message); }), engine_(*this) {}

SMBus::~SMBus() {
    close();
}

void SMBus::setDevice(const std::string& path) {
    close();
    port_.setDevice(path);
}

void SMBus::setBaudrate(int baud) {
    port_.setBaudrate(baud);
}

bool SMBus::open() {
    close();
    if (!port_.open())
        return false;
    port_.watch(*this, EPOLLIN);
    return true;
}

void SMBus::close() {
    port_.watch(*this, 0);
    port_.close();
    txBuffer_.clear();
}

bool SMBus::request(const uint8_t* pdu, int length, SMBusResponseCallback callback, void* context) {
    return engine_.request(pdu, length, callback, context);
}

void SMBus::transmit(const Bytes& bytes) {
    txBuffer_ = bytes;
    if (isOpen())
        port_.watch(*this, EPOLLIN | EPOLLOUT);
}

void SMBus::onEvents(uint32_t events) {
    if (events & (EPOLLERR | EPOLLHUP)) {
        reportLineFailure();
        return;
    }
    if ((events & EPOLLOUT) && !writePending())
        return;
    if (events & EPOLLIN)
        readInput();
}

bool SMBus::writePending() {
    if (txBuffer_.empty()) {
        port_.watch(*this, EPOLLIN);
        return true;
    }
    IoOutcome outcome = port_.writePending(txBuffer_);
    if (outcome.kind == IoOutcome::kFailed) {
        LOG_MSG(LOG_ERR, kUnit, "error writing %s: %s", device().c_str(), strerror(outcome.error));
        recover();
        return false;
    }
    bytesSent_ += outcome.length;
    if (outcome.kind != IoOutcome::kDone)
        return true;
    port_.watch(*this, EPOLLIN);
    engine_.transmitted();
    return true;
}

void SMBus::readInput() {
    uint8_t chunk[kReadChunk];
    IoOutcome outcome = port_.read(chunk, sizeof chunk);
    switch (outcome.kind) {
    case IoOutcome::kRetry:
        return;
    case IoOutcome::kFailed:
        LOG_MSG(LOG_ERR, kUnit, "error reading %s: %s", device().c_str(), strerror(outcome.error));
        recover();
        return;
    case IoOutcome::kEnd:
        // End of file on a serial port: the line is gone, as with a hang-up.
        reportLineFailure();
        return;
    default:
        break;
    }
    bytesReceived_ += outcome.length;
    if (engine_.rtu())
        rtuInput_.append(chunk, outcome.length);
    else
        asciiInput_.append(chunk, outcome.length);
}

void SMBus::reportLineFailure() {
    LOG_MSG(LOG_ERR, kUnit, "%s: i/o error, trying to reopen", device().c_str());
    engine_.lineFailed();
    recover();
}

void SMBus::recover() {
    // Reopening may fail: the port then stays closed, the request waits for its time-out and the next
    // request tries to open again.
    close();
    open();
    engine_.restartHeadRequest();
}

void SMBus::rtu_rx_timeout(Bytes frame) {
    engine_.rtuFrameReceived(std::move(frame));
}
