#pragma once
// The board's discrete signals: one SPI shift-register chain of 40 inputs and 40 outputs, exchanged
// every 10 ms, with debounced inputs, an output image with per-output inversion and blink patterns, and
// the analogue converter read on demand.

#include "core/timer_queue.h"
#include "platform/spi.h"

#include <array>
#include <cstdint>
#include <memory>

// What the controller is told by the discrete I/O.
class DiscreteInputListener {
public:
    virtual ~DiscreteInputListener() = default;
    // An input changed and kept its new level for two exchanges.
    virtual void inputChanged(int n, bool state) = 0;
    // The first exchange succeeded: the inputs are known and the outputs are powered.
    virtual void discreteIoStarted() = 0;
};

class DiscreteIO {
public:
    static constexpr int kSignals = 40;
    static constexpr size_t kFrameBytes = 5;
    static constexpr uint32_t kFirstExchangeMs = 25;
    static constexpr uint32_t kExchangePeriodMs = 10;
    // Outputs whose physical level is the inverse of their logical state: 8-14, 24 and 28-39.
    static constexpr uint64_t kInvertedOutputs = 0xFFF1007F00ull;
    static bool isInvertedOutput(int n) { return n >= 0 && n < 64 && (kInvertedOutputs >> n & 1) != 0; }

    // Opens the chain and arms the first exchange; a chain that cannot be opened is logged and the
    // timer runs all the same. The listener (the controller) may be null.
    explicit DiscreteIO(DiscreteInputListener* listener = nullptr);
    // Closes the chain and switches the outputs off (line pioA13 high).
    ~DiscreteIO();
    DiscreteIO(const DiscreteIO&) = delete;
    DiscreteIO& operator=(const DiscreteIO&) = delete;

    void setListener(DiscreteInputListener* listener) { listener_ = listener; }

    // Logical state of output n; the valves 22 and 23 also switch their lamps 37 and 39.
    void setOutput(int n, bool on);
    bool isOutputOn(int n) const;
    // Output n inverted during the first 100 ms of every 200 ms (fast) or of every 900 ms (slow).
    void setFastBlink(int n, bool on);
    void setSlowBlink(int n, bool on);
    // Outputs 24-39 driven logically off during the first 500 ms of every second; off by default.
    void setBlank(bool on) { blank_ = on; }
    bool blank() const { return blank_; }

    // Debounced level of input n (inputs 8, 19 and 23 are always 0).
    bool isInputOn(int n) const;
    // Debounced levels of all inputs, bit n = input n.
    uint64_t inputs() const { return accepted_; }
    bool started() const { return started_; }

    // The bytes the chain sent back in the last exchange.
    const std::array<uint8_t, kFrameBytes>& lastReceived() const { return receive_; }

    // 12-bit conversion of channel 0-7 of the converter "/dev/spidev32766.2", or -1 on failure.
    int readAdc(int channel);

private:
    void exchange();
    void buildTransmitFrame(uint32_t nowMs);
    void takeFirstSample(uint64_t raw);
    void debounce(uint64_t raw);

    DiscreteInputListener* listener_;
    std::unique_ptr<platform::SpiDevice> chain_;
    Timer timer_;
    // Reused for every exchange.
    std::array<uint8_t, kFrameBytes> transmit_{};
    std::array<uint8_t, kFrameBytes> receive_{};
    uint64_t outputs_;
    uint64_t fastBlink_ = 0;
    uint64_t slowBlink_ = 0;
    bool blank_ = false;
    uint64_t accepted_ = 0;
    uint64_t previous_ = 0;
    bool started_ = false;
};

// The discrete I/O chain of the running daemon (set by start-up, null before and after).
extern DiscreteIO* gDiscreteIO;
