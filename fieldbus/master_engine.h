#pragma once
// The Modbus master's protocol, free of descriptors: requests are queued and sent one at a time over a
// MasterLine, received frames come in, answers and failures go out to each request's callback. The
// only clock it uses is the timer "next_request" (the gap before sending, then the answer time-out).

#include "core/timer_queue.h"
#include "fieldbus/bus_statistics.h"
#include "fieldbus/bytes.h"

#include <deque>
#include <string>

// Outcome of one request. status 0: an answer arrived (RTU: address, function code and data without the
// CRC; ASCII: the decoded bytes including the final LRC byte); an exception answer has bit 7 of the
// function code set. status 1: no answer after all retries, the answer is empty.
using SMBusResponseCallback = void (*)(int status, const Bytes& answer, void* context);

// What the master needs of its line; SMBus provides it on a serial port.
class MasterLine {
public:
    virtual ~MasterLine() = default;
    virtual bool isOpen() const = 0;
    // Opens the port, logging why not; false when it stays closed.
    virtual bool open() = 0;
    // Sends the bytes as soon as the line takes them; nothing when the port is closed.
    virtual void transmit(const Bytes& bytes) = 0;
    virtual int baudrate() const = 0;
    // The port's path, for log lines.
    virtual const std::string& device() const = 0;
};

class MasterEngine {
public:
    static constexpr int kDefaultTimeoutMs = 200;

    explicit MasterEngine(MasterLine& line) : line_(line) {}
    // Queued requests are dropped without their callbacks; the timer is cancelled.
    ~MasterEngine() = default;
    MasterEngine(const MasterEngine&) = delete;
    MasterEngine& operator=(const MasterEngine&) = delete;

    // RTU framing (true) or ASCII (false, the default).
    void setRtu(bool rtu) { rtu_ = rtu; }
    bool rtu() const { return rtu_; }
    void setTimeout(int ms) { timeoutMs_ = ms; }
    void setMaxRetries(int retries) { maxRetries_ = retries; }

    // Queues a request; pdu starts with the slave address and the function code. The callback is
    // called once, with `context`, which must outlive the request. False (and nothing queued) only when
    // the line is closed and cannot be opened.
    bool request(const uint8_t* pdu, int length, SMBusResponseCallback callback, void* context);

    // The owner of `context` is going away: its queued requests are dropped, and the one on the line
    // finishes without calling back.
    void cancelRequests(const void* context);

    // The port was reopened after an error: the request on the line is sent again from the start.
    void restartHeadRequest();
    // A transmission was written completely.
    void transmitted() { count(BusCounter::kTx); }
    // The port reported an error or hang-up.
    void lineFailed() { count(BusCounter::kIoError); }
    // A complete RTU frame (the line was silent after it).
    void rtuFrameReceived(Bytes frame);
    // A complete ASCII message, the text between ":" and "\r\n".
    void process_msg(const std::string& message);

    const BusStatistics& statistics() const { return statistics_; }
    size_t queued() const { return queue_.size(); }

private:
    struct Request {
        SMBusResponseCallback callback;
        void* context;
        // RTU: PDU + CRC; ASCII: the hexadecimal PDU + LRC, without ":" and "\r\n".
        Bytes frame;
    };

    void startHeadRequest();
    void sendHeadRequest();
    void armAnswerTimeout();
    void answerTimedOut();
    bool isEchoOfHeadRequest(const Bytes& frame) const;
    bool answersHeadRequest(const Bytes& answer) const;
    void logException(const Bytes& answer) const;
    // Ends the head request with this outcome and starts the next one.
    void finishHeadRequest(int status, const Bytes& answer);
    void count(BusCounter counter);
    const char* device() const { return line_.device().c_str(); }

    MasterLine& line_;
    bool rtu_ = false;
    int timeoutMs_ = kDefaultTimeoutMs;
    int maxRetries_ = 0;
    std::deque<Request> queue_;
    Timer requestTimer_;
    int retryCount_ = 0;
    bool echoSeen_ = false;
    // Whether the head request has gone out on the line (RTU waits a silence first).
    bool sent_ = false;
    BusStatistics statistics_;
};
