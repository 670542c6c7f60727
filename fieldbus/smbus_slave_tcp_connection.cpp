#include "fieldbus/smbus_slave_tcp_connection.h"

#include "core/log.h"
#include "fieldbus/descriptor_io.h"
#include "fieldbus/mbap_framing.h"
#include "fieldbus/smbus_slave_tcp.h"
#include "platform/clock.h"

#include <cstring>
#include <sys/epoll.h>

namespace {

const char kUnit[] = "smbus";

} // namespace

SMBusSlaveTCPConnection::SMBusSlaveTCPConnection(SMBusSlaveTCP& owner, platform::UniqueFd socket,
                                                 std::string peer)
    : owner_(owner), socket_(std::move(socket)), peer_(std::move(peer)),
      lastActivityMs_(platform::monotonicMs()) {
    watch(socket_.get(), EPOLLIN);
}

SMBusSlaveTCPConnection::~SMBusSlaveTCPConnection() {
    // Out of the epoll set before the socket closes.
    watch(socket_.get(), 0);
}

void SMBusSlaveTCPConnection::onEvents(uint32_t events) {
    if (events & (EPOLLERR | EPOLLHUP)) {
        LOG_MSG(LOG_ERR, kUnit, "%s: i/o error", peer_.c_str());
        return end();
    }
    if ((events & EPOLLOUT) && !writeOut())
        return;
    if (!closing_ && (events & EPOLLIN) && !readIn())
        return;
    // Answers go out at once; only what the socket does not take waits for EPOLLOUT.
    if (!tx_.empty() && !writeOut())
        return;
    if (closing_ && tx_.empty())
        return end();
    updateWatch();
}

bool SMBusSlaveTCPConnection::writeOut() {
    IoOutcome outcome = sendPending(socket_.get(), tx_);
    if (outcome.kind != IoOutcome::kFailed)
        return true;
    LOG_MSG(LOG_ERR, kUnit, "error writing %s: %s", peer_.c_str(), strerror(outcome.error));
    end();
    return false;
}

bool SMBusSlaveTCPConnection::readIn() {
    uint8_t chunk[kReadChunk];
    IoOutcome outcome = readSome(socket_.get(), chunk, sizeof chunk);
    switch (outcome.kind) {
    case IoOutcome::kRetry:
        return true;
    case IoOutcome::kFailed:
        LOG_MSG(LOG_ERR, kUnit, "error reading %s: %s", peer_.c_str(), strerror(outcome.error));
        end();
        return false;
    case IoOutcome::kEnd:
        end();
        return false;
    default:
        lastActivityMs_ = platform::monotonicMs();
        rx_.insert(rx_.end(), chunk, chunk + outcome.length);
        answerFrames();
        return true;
    }
}

void SMBusSlaveTCPConnection::answerFrames() {
    size_t offset = 0;
    for (;;) {
        MbapScan scan = scanMbapFrame(rx_.data() + offset, rx_.size() - offset);
        if (scan.kind == MbapScan::kIncomplete)
            break;
        if (scan.kind == MbapScan::kMalformed) {
            // Too short to hold a function code, or longer than any Modbus request: the stream
            // cannot be followed any further. The requests before it were executed, so their answers
            // are sent before the connection closes.
            LOG_MSG(LOG_ERR, kUnit, "%s: invalid MBAP length %u, closing the connection", peer_.c_str(),
                    scan.length);
            closing_ = true;
            rx_.clear();
            return;
        }
        const uint8_t* frame = rx_.data() + offset;
        // Unit identifier 0 is a broadcast: executed, not answered.
        Bytes response = handleRequest(Bytes(frame + kMbapHeaderBytes, frame + scan.frameBytes));
        if (!response.empty())
            appendMbapResponse(frame, response, tx_);
        offset += scan.frameBytes;
    }
    rx_.erase(rx_.begin(), rx_.begin() + static_cast<ptrdiff_t>(offset));
}

void SMBusSlaveTCPConnection::updateWatch() {
    uint32_t events = !closing_ && tx_.size() < kMaxPendingOutput ? uint32_t{EPOLLIN} : 0;
    if (!tx_.empty())
        events |= EPOLLOUT;
    watch(socket_.get(), events);
}

void SMBusSlaveTCPConnection::end() {
    owner_.remove(this);
}
