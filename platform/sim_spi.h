#pragma once
// The simulated board's SPI devices: the I/O chain shifts in input bits from a provider (a test, later
// the plant model) and keeps the output frames it was sent; the converter answers with the provider's
// counts.

#include "platform/clock.h"
#include "platform/spi.h"

#include <array>
#include <cstdint>
#include <deque>

namespace platform {

// What is wired to the far side of the chain and the converter.
class SimSpiProvider {
public:
    virtual ~SimSpiProvider() = default;
    // Levels of inputs 0-39 at this moment, bit n = input n.
    virtual uint64_t inputBits() = 0;
    // The 12-bit count of converter channel 0-7.
    virtual int adcCount(int channel) = 0;
};

// Levels and counts that stay as they are set; the provider until another one is attached.
class FixedSpiInputs : public SimSpiProvider {
public:
    void setInput(int n, bool level);
    void setInputBits(uint64_t bits) { bits_ = bits; }
    void setAdcCount(int channel, int count);

    uint64_t inputBits() override { return bits_; }
    int adcCount(int channel) override;

private:
    uint64_t bits_ = 0;
    std::array<int, 8> counts_{};
};

// One frame the chain was sent: the physical output levels, bit n = output n.
struct SimSpiOutputFrame {
    uint32_t atMs;
    uint64_t bits;
};

class SimSpi : public Spi {
public:
    // Frames kept by default: ten seconds of the 10 ms exchange.
    static constexpr size_t kKeptFrames = 1000;

    explicit SimSpi(Clock& clock) : clock_(clock) {}

    // The stand-in files "/dev/spidev32766.0" and "/dev/spidev32766.2" of the sandbox must exist.
    std::unique_ptr<SpiDevice> open(const char* path, int& error) override;

    // Null puts the fixed inputs back.
    void setProvider(SimSpiProvider* provider) { provider_ = provider ? provider : &fixed_; }
    FixedSpiInputs& fixedInputs() { return fixed_; }
    // Every later transfer fails with this errno value; 0 ends the failures.
    void setTransferError(int error) { transferError_ = error; }

    // The newest frames the chain was sent, oldest first (at most keptFrames()).
    const std::deque<SimSpiOutputFrame>& outputFrames() const { return frames_; }
    // How many frames are kept (at least 1); a longer record for a run measured as a whole.
    void setKeptFrames(size_t count);
    size_t keptFrames() const { return keptFrames_; }
    size_t chainTransfers() const { return chainTransfers_; }
    size_t converterTransfers() const { return converterTransfers_; }

    // The device ends of a transfer, used by the opened devices.
    int exchangeChain(const uint8_t* transmit, uint8_t* receive, size_t length);
    int exchangeConverter(const uint8_t* transmit, uint8_t* receive, size_t length);

private:
    Clock& clock_;
    FixedSpiInputs fixed_;
    SimSpiProvider* provider_ = &fixed_;
    int transferError_ = 0;
    std::deque<SimSpiOutputFrame> frames_;
    size_t keptFrames_ = kKeptFrames;
    size_t chainTransfers_ = 0;
    size_t converterTransfers_ = 0;
    // Stand-ins found usable: a device node does not go away while the board runs, so each is
    // checked until it is first there, not at every opening (the converter is opened per reading).
    bool chainStandInSeen_ = false;
    bool converterStandInSeen_ = false;
};

} // namespace platform
