#pragma once
// The Modbus master on a serial RS-485 line (the drive bus "/dev/ttyS2"): the MasterEngine driven by
// the port's events, with close-and-reopen recovery after port errors.

#include "core/epoller.h"
#include "fieldbus/ascii_framing.h"
#include "fieldbus/bus_statistics.h"
#include "fieldbus/master_engine.h"
#include "fieldbus/rtu_receiver.h"
#include "fieldbus/serial_port.h"

#include <string>

class SMBus : public EPoller, private MasterLine {
public:
    // Reads are of at most this many bytes per event.
    static constexpr size_t kReadChunk = 256;
    // The longest burst an answer can come in: the echo of a request and the answer, one frame each.
    static constexpr size_t kReceiveCapacity = 2 * RtuReceiver::kMaxFrameBytes;

    SMBus();
    // Cancels both timers, closes the port and drops the queue without calling any callback.
    ~SMBus() override;

    // Closes the port if open, then stores the path.
    void setDevice(const std::string& path);
    // See SerialPort::setBaudrate; 250 and other unknown speeds become 9600.
    void setBaudrate(int baud);
    // Set before open: 5-8 data bits (default 7), 1 or 2 stop bits (default 1), parity (default none).
    void setDataBits(int bits) { port_.setDataBits(bits); }
    void setStopBits(int bits) { port_.setStopBits(bits); }
    void setParity(bool enabled, bool odd) { port_.setParity(enabled, odd); }
    // RTU framing (true) or ASCII (false, the default); answer time-out (default 200 ms); retransmissions
    // before giving up (default 0).
    void setRtu(bool rtu) { engine_.setRtu(rtu); }
    void setTimeout(int ms) { engine_.setTimeout(ms); }
    void setMaxRetries(int retries) { engine_.setMaxRetries(retries); }

    // Opens and configures the port and watches it for input; false (logged) when that fails.
    bool open() override;
    void close();
    bool isOpen() const override { return port_.isOpen(); }

    // See MasterEngine::request.
    bool request(const uint8_t* pdu, int length, SMBusResponseCallback callback, void* context);
    // See MasterEngine::cancelRequests.
    void cancelRequests(const void* context) { engine_.cancelRequests(context); }

    const std::string& device() const override { return port_.device(); }
    int baudrate() const override { return port_.baudrate(); }
    int dataBits() const { return port_.dataBits(); }
    int stopBits() const { return port_.stopBits(); }

    // TX, TO, Retr, IOEr, BCRC, short, as totals and per slave address (the debug screen reads them).
    const BusStatistics& statistics() const { return engine_.statistics(); }
    // Received bursts discarded because no answer can be that long.
    uint32_t overlongBursts() const { return rtuInput_.overlongBursts(); }
    // Received bytes held until their frame ends; of an RTU burst, also those beyond the capacity.
    size_t bufferedInput() const { return engine_.rtu() ? rtuInput_.buffered() : asciiInput_.pending(); }
    size_t burstLength() const { return engine_.rtu() ? rtuInput_.burstLength() : asciiInput_.pending(); }
    size_t queuedRequests() const { return engine_.queued(); }
    // Bytes written to and read from the port since construction.
    uint64_t bytesSent() const { return bytesSent_; }
    uint64_t bytesReceived() const { return bytesReceived_; }

    void onEvents(uint32_t events) override;

protected:
    // A complete RTU frame: the line was silent for 50 ms after it.
    virtual void rtu_rx_timeout(Bytes frame);

private:
    void transmit(const Bytes& bytes) override;
    // False when the port failed and was reopened.
    bool writePending();
    void readInput();
    void reportLineFailure();
    void recover();

    SerialPort port_;
    Bytes txBuffer_;
    RtuReceiver rtuInput_;
    AsciiMessageSplitter asciiInput_;
    MasterEngine engine_;
    uint64_t bytesSent_ = 0;
    uint64_t bytesReceived_ = 0;
};

// The Modbus master on the drive bus of the running daemon (set by start-up, null before and after).
extern SMBus* gDriveBus;
