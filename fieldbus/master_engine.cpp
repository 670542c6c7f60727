#include "fieldbus/master_engine.h"

#include "core/log.h"
#include "fieldbus/ascii_framing.h"
#include "fieldbus/rtu_framing.h"

#include <algorithm>

namespace {

const char kUnit[] = "smbus";

constexpr size_t kShortestRtuFrame = 4;
constexpr size_t kShortestAsciiMessage = 4;
// Address and function code as text: the part of an ASCII answer that must match the request.
constexpr size_t kAsciiHeaderChars = 4;
constexpr uint8_t kExceptionBit = 0x80;

// Four 11-bit characters of line silence plus 1 ms before a frame goes out.
uint32_t gapBeforeSendingMs(int baud) {
    return static_cast<uint32_t>(44000 / baud + 1);
}

bool startsWith(const Bytes& bytes, const Bytes& prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

uint8_t byteSum(const Bytes& bytes) {
    uint8_t sum = 0;
    for (uint8_t byte : bytes)
        sum = static_cast<uint8_t>(sum + byte);
    return sum;
}

} // namespace

bool MasterEngine::request(const uint8_t* pdu, int length, SMBusResponseCallback callback, void* context) {
    size_t size = length > 0 ? static_cast<size_t>(length) : 0;
    Bytes frame = rtu_ ? rtuFrame(pdu, size) : asciiFrame(pdu, size);
    if (!line_.isOpen() && !line_.open())
        return false;
    queue_.push_back(Request{callback, context, std::move(frame)});
    if (queue_.size() == 1)
        startHeadRequest();
    return true;
}

void MasterEngine::cancelRequests(const void* context) {
    if (queue_.empty())
        return;
    // The head stays: its answer or time-out still paces the line.
    auto first = queue_.begin() + 1;
    queue_.erase(
        std::remove_if(first, queue_.end(), [context](const Request& r) { return r.context == context; }),
        queue_.end());
    if (queue_.front().context == context)
        queue_.front().callback = nullptr;
}

void MasterEngine::restartHeadRequest() {
    requestTimer_.cancel();
    startHeadRequest();
}

void MasterEngine::startHeadRequest() {
    if (queue_.empty())
        return;
    echoSeen_ = false;
    sent_ = false;
    if (rtu_) {
        requestTimer_.start("next_request", gapBeforeSendingMs(line_.baudrate()),
                            [this] { sendHeadRequest(); });
        return;
    }
    const Bytes& frame = queue_.front().frame;
    Bytes text;
    text.reserve(frame.size() + 3);
    text.push_back(':');
    text.insert(text.end(), frame.begin(), frame.end());
    text.push_back('\r');
    text.push_back('\n');
    line_.transmit(text);
    sent_ = true;
    armAnswerTimeout();
}

void MasterEngine::sendHeadRequest() {
    if (queue_.empty())
        return;
    line_.transmit(queue_.front().frame);
    sent_ = true;
    armAnswerTimeout();
}

void MasterEngine::armAnswerTimeout() {
    requestTimer_.start("next_request", static_cast<uint32_t>(std::max(timeoutMs_, 0)),
                        [this] { answerTimedOut(); });
}

void MasterEngine::answerTimedOut() {
    count(BusCounter::kTimeout);
    if (!echoSeen_)
        LOG_MSG(LOG_ERR, kUnit, "%s: haven't seen echo", device());
    LOG_MSG(LOG_INFO, kUnit, "%s: request timeout", device());
    if (retryCount_ >= maxRetries_) {
        finishHeadRequest(1, Bytes{});
        return;
    }
    ++retryCount_;
    count(BusCounter::kRetry);
    startHeadRequest();
}

void MasterEngine::rtuFrameReceived(Bytes frame) {
    if (frame.size() < kShortestRtuFrame) {
        LOG_MSG(LOG_DEBUG, kUnit, "%s: received message too short", device());
        count(BusCounter::kShort);
        return;
    }
    if (queue_.empty())
        return;
    // Still waiting out the silence before sending: nothing on the line can answer this request yet
    // (a late answer to a request that already timed out, say).
    if (!sent_) {
        LOG_MSG(LOG_DEBUG, kUnit, "%s: received message before the request was sent", device());
        return;
    }
    if (isEchoOfHeadRequest(frame)) {
        // Our own transmission came back first; what follows it may already be the answer.
        echoSeen_ = true;
        frame.erase(frame.begin(), frame.begin() + static_cast<long>(queue_.front().frame.size()));
        if (!frame.empty())
            rtuFrameReceived(std::move(frame));
        return;
    }
    RtuCrc crc = rtuCrcOf(frame);
    if (!crc.matches()) {
        LOG_MSG(LOG_DEBUG, kUnit, "%s: incorrect CRC in received RTU (received: 0x%04x, computed: 0x%04x)",
                device(), crc.received, crc.computed);
        count(BusCounter::kBadCrc);
        return;
    }
    frame.resize(frame.size() - 2);
    if (!answersHeadRequest(frame))
        return;
    if (frame[1] & kExceptionBit)
        logException(frame);
    finishHeadRequest(0, frame);
}

bool MasterEngine::isEchoOfHeadRequest(const Bytes& frame) const {
    return !echoSeen_ && startsWith(frame, queue_.front().frame);
}

bool MasterEngine::answersHeadRequest(const Bytes& answer) const {
    const Bytes& sent = queue_.front().frame;
    if (answer[0] != sent[0]) {
        LOG_MSG(LOG_WARNING, kUnit, "SMBus::rtu_rx_timeout(): received mesage from address %d (expected %d)",
                answer[0], sent[0]);
        return false;
    }
    if ((answer[1] & ~kExceptionBit) != sent[1]) {
        LOG_MSG(
            LOG_WARNING, kUnit,
            "SMBus::rtu_rx_timeout(): received response with unexpected operation code %02x (expected %02x)",
            answer[1], sent[1]);
        return false;
    }
    return true;
}

void MasterEngine::logException(const Bytes& answer) const {
    int operation = answer[1] & ~kExceptionBit;
    if (answer.size() > 2)
        LOG_MSG(LOG_ERR, kUnit, "SMBus::rtu_rx_timeout(): operation %02x: error %d", operation, answer[2]);
    else
        LOG_MSG(LOG_ERR, kUnit, "SMBus::rtu_rx_timeout(): operation %02x: error", operation);
}

void MasterEngine::process_msg(const std::string& message) {
    LOG_MSG(LOG_DEBUG, kUnit, "SMBus::process_msg(): received %d bytes: '%s'",
            static_cast<int>(message.size()), message.c_str());
    if (queue_.empty())
        return;
    if (message.size() < kShortestAsciiMessage) {
        LOG_MSG(LOG_WARNING, kUnit, "SMBus::process_msg(): ASCII response too short");
        return;
    }
    if (message.size() % 2 != 0) {
        LOG_MSG(LOG_WARNING, kUnit, "SMBus::process_msg(): ASCII response length is odd");
        return;
    }
    const Bytes& sent = queue_.front().frame;
    if (!echoSeen_ && message.size() == sent.size() &&
        std::equal(sent.begin(), sent.end(), message.begin())) {
        LOG_MSG(LOG_DEBUG, kUnit, "got request echo, restarting reception...");
        echoSeen_ = true;
        return;
    }
    Bytes decoded;
    if (!decodeHexPairs(message, decoded)) {
        LOG_MSG(LOG_WARNING, kUnit, "SMBus::process_msg(): invalid character in ASCII response");
        return;
    }
    if (byteSum(decoded) != 0) {
        LOG_MSG(LOG_INFO, kUnit, "SMBus::process_msg(): bad checksum");
        return;
    }
    if (sent.size() >= kAsciiHeaderChars &&
        !std::equal(sent.begin(), sent.begin() + kAsciiHeaderChars, message.begin())) {
        LOG_MSG(LOG_INFO, kUnit, "SMBus::process_msg(): invalid response address or function code");
        return;
    }
    finishHeadRequest(0, decoded);
}

void MasterEngine::finishHeadRequest(int status, const Bytes& answer) {
    // The request stays at the head while its callback runs, so a request made from there only queues.
    SMBusResponseCallback callback = queue_.front().callback;
    void* context = queue_.front().context;
    if (callback)
        callback(status, answer, context);
    queue_.pop_front();
    retryCount_ = 0;
    requestTimer_.cancel();
    startHeadRequest();
}

void MasterEngine::count(BusCounter counter) {
    int address = -1;
    if (!queue_.empty() && !queue_.front().frame.empty())
        address = queue_.front().frame[0];
    statistics_.count(counter, address);
}
