#pragma once
// The SCADA's Modbus slave: the register map (register_map.h) served on a serial RTU line
// ("/dev/ttyS1"), and, by SMBusSlaveTCPConnection, on Modbus TCP. handleRequest maps one request PDU
// to its response and touches no descriptor, so both transports and tests call it alike.

#include "core/epoller.h"
#include "fieldbus/bus_statistics.h"
#include "fieldbus/bytes.h"
#include "fieldbus/drive_status.h"
#include "fieldbus/rtu_receiver.h"
#include "fieldbus/serial_port.h"

#include <array>
#include <string>

struct ConfigString;
struct HoldingRegisterRow;

class SMBusSlave : public EPoller {
public:
    // Modbus exception codes.
    static constexpr uint8_t kIllegalFunction = 1;
    static constexpr uint8_t kIllegalDataAddress = 2;
    static constexpr uint8_t kIllegalDataValue = 3;
    // Quantity limits of the reads: 127 registers, 2032 bits.
    static constexpr int kMaxReadRegisters = 127;
    static constexpr int kMaxReadBits = 2032;
    // The longest request the map accepts: function 16 with 127 registers, with its CRC.
    static constexpr size_t kMaxRtuFrame = 7 + 2 * kMaxReadRegisters + 2;
    static constexpr size_t kReadChunk = 256;
    // A port that fails to reopen after an error is tried again this often.
    static constexpr uint32_t kReopenDelayMs = 1000;
    // Answers held for a line that does not drain; beyond this the slave reads no more requests.
    static constexpr size_t kMaxPendingOutput = 16384;
    // The echo of an answer begins while the answer is on the line; a burst that begins later than
    // this after the answer's last byte left is a request, even if it equals the answer.
    static constexpr uint32_t kEchoMarginMs = 50;

    SMBusSlave();
    // Closes the port.
    ~SMBusSlave() override;

    // The serial line, set before open (the slave on "/dev/ttyS1" runs at 9600 baud, 8N2).
    void setDevice(const std::string& path) { port_.setDevice(path); }
    void setBaudrate(int baud) { port_.setBaudrate(baud); }
    void setDataBits(int bits) { port_.setDataBits(bits); }
    void setStopBits(int bits) { port_.setStopBits(bits); }
    void setParity(bool enabled, bool odd) { port_.setParity(enabled, odd); }
    const std::string& device() const { return port_.device(); }
    // Opens and configures the port and watches it for input; false (logged) when that fails.
    bool open();
    void close();
    bool isOpen() const { return port_.isOpen(); }

    // Where input registers 14-21 and discrete inputs 0-5 come from; null (the default) reads them
    // as 0. Not owned; it must outlive the slave or be reset first.
    void setDriveStatus(const DriveStatus* status) { driveStatus_ = status; }
    const DriveStatus* driveStatus() const { return driveStatus_; }

    // Received bytes held until their frame ends.
    size_t bufferedInput() const { return rtuInput_.buffered(); }
    // Answer bytes waiting for the line to take them.
    size_t pendingOutput() const { return txBuffer_.size(); }
    // TX, IOEr, BCRC and short of the serial line (the slave never times out or retries).
    uint32_t total(BusCounter counter) const { return counters_[static_cast<size_t>(counter)]; }

    // Request PDU (address byte, function code, data) to response PDU; empty: nothing is sent (a
    // broadcast to address 0, or a request too short to have a function code).
    Bytes handleRequest(const Bytes& request);

    // One holding register write of a request: 0 when accepted, else the exception code. `last`: the
    // final register of the request.
    int writeRegister(int reg, uint16_t value, bool last);
    // Bracket every holding register write request: the texts are edited in scratch copies and set
    // when the whole request succeeded. endWrite returns the request's exception code: the one given,
    // or 3 when a text written would not be valid UTF-8 or would hold a control character (logged;
    // both texts then stay as they were).
    void beginWrite(int start, int count);
    int endWrite(int start, int count, int exceptionCode);
    // Appends the byte count and the registers to response, or makes it exception 2.
    void readHoldingRegisters(int start, int count, Bytes& response);

    void onEvents(uint32_t events) override;

protected:
    // A complete RTU frame: the line was silent for 50 ms after it.
    virtual void rtu_rx_timeout(Bytes frame);

private:
    using Handler = void (SMBusSlave::*)(const Bytes& request, Bytes& response);
    static Handler handlerFor(uint8_t function);

    void readCoils(const Bytes& request, Bytes& response);
    void readDiscreteInputs(const Bytes& request, Bytes& response);
    void readHoldingRegisterRequest(const Bytes& request, Bytes& response);
    void readInputRegisters(const Bytes& request, Bytes& response);
    void writeSingleCoil(const Bytes& request, Bytes& response);
    void writeSingleRegister(const Bytes& request, Bytes& response);
    void writeMultipleCoils(const Bytes& request, Bytes& response);
    void writeMultipleRegisters(const Bytes& request, Bytes& response);

    uint16_t holdingRegister(const HoldingRegisterRow& row, int reg);
    int writeSettingRegister(int reg, uint16_t value, bool last);
    bool storableScratch(const ConfigString& text, const std::string& scratch, int start, int count);

    void count(BusCounter counter) { ++counters_[static_cast<size_t>(counter)]; }
    void send(const Bytes& response);
    bool writePending();
    void updateWatch();
    // Drops the echo of the last answer from the start of a received frame; false when nothing is
    // left of it.
    bool dropEcho(Bytes& frame);
    uint32_t lineTimeMs(size_t bytes) const;
    void readInput();
    void recover();

    SerialPort port_;
    RtuReceiver rtuInput_;
    Bytes txBuffer_;
    Timer reopen_;
    std::array<uint32_t, kBusCounterCount> counters_{};
    const DriveStatus* driveStatus_ = nullptr;
    // The last response sent on the line with its CRC, to recognise its echo, and until when its echo
    // may begin (set once the whole answer is written).
    Bytes lastResponse_;
    bool echoDeadlineSet_ = false;
    uint32_t echoDeadlineMs_ = 0;
    // When the first byte of the burst being received arrived.
    uint32_t burstStartMs_ = 0;
    // Working copies of wellName and wellComment during a register write request.
    std::string nameScratch_;
    std::string commentScratch_;
    // The high word of an X100x2 pair written ahead of its low word in the same request, as the
    // ×100 value it forms; pendingPair_ is the pair's first register, -1 when none is pending.
    int pendingPair_ = -1;
    int32_t pendingValue_ = 0;
};
