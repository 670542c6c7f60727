#include "platform/sim_spi.h"

#include "platform/platform.h"
#include "platform/unique_fd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kSignals = 40;
constexpr size_t kChainBytes = 5;
constexpr size_t kConverterBytes = 3;
constexpr int kConverterChannels = 8;

// Start bit and single-ended mode in the first byte the converter is sent.
constexpr uint8_t kConverterStartSingleEnded = 0x06;

enum class Device { kChain, kConverter };

class SimSpiDevice : public SpiDevice {
public:
    SimSpiDevice(SimSpi& bus, Device device) : bus_(bus), device_(device) {}

    int transfer(const uint8_t* transmit, uint8_t* receive, size_t length) override {
        if (device_ == Device::kChain)
            return bus_.exchangeChain(transmit, receive, length);
        return bus_.exchangeConverter(transmit, receive, length);
    }

private:
    SimSpi& bus_;
    Device device_;
};

uint64_t frameBits(const uint8_t* bytes) {
    uint64_t bits = 0;
    for (size_t i = 0; i < kChainBytes; ++i)
        bits |= static_cast<uint64_t>(bytes[i]) << (8 * i);
    return bits;
}

uint32_t clockMs(Clock& clock) {
    timespec now = clock.monotonic();
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

} // namespace

void FixedSpiInputs::setInput(int n, bool level) {
    if (n < 0 || n >= kSignals)
        return;
    uint64_t bit = uint64_t{1} << n;
    bits_ = level ? (bits_ | bit) : (bits_ & ~bit);
}

void FixedSpiInputs::setAdcCount(int channel, int count) {
    if (channel >= 0 && channel < kConverterChannels)
        counts_[channel] = count & 0xFFF;
}

int FixedSpiInputs::adcCount(int channel) {
    if (channel < 0 || channel >= kConverterChannels)
        return 0;
    return counts_[channel];
}

std::unique_ptr<SpiDevice> SimSpi::open(const char* path, int& error) {
    Device device;
    if (std::strcmp(path, "/dev/spidev32766.0") == 0) {
        device = Device::kChain;
    } else if (std::strcmp(path, "/dev/spidev32766.2") == 0) {
        device = Device::kConverter;
    } else {
        error = ENODEV;
        return nullptr;
    }
    // The stand-in only has to be there and be usable, as the device node would.
    bool& seen = device == Device::kChain ? chainStandInSeen_ : converterStandInSeen_;
    if (!seen && ::access(rootPath(path).c_str(), R_OK | W_OK) != 0) {
        error = errno;
        return nullptr;
    }
    seen = true;
    error = 0;
    return std::make_unique<SimSpiDevice>(*this, device);
}

void SimSpi::setKeptFrames(size_t count) {
    keptFrames_ = std::max<size_t>(count, 1);
    while (frames_.size() > keptFrames_)
        frames_.pop_front();
}

int SimSpi::exchangeChain(const uint8_t* transmit, uint8_t* receive, size_t length) {
    if (transferError_ != 0)
        return transferError_;
    if (length != kChainBytes)
        return EINVAL;
    ++chainTransfers_;
    while (frames_.size() >= keptFrames_)
        frames_.pop_front();
    frames_.push_back(SimSpiOutputFrame{clockMs(clock_), frameBits(transmit)});
    uint64_t inputs = provider_->inputBits();
    for (size_t i = 0; i < kChainBytes; ++i)
        receive[i] = static_cast<uint8_t>(inputs >> (8 * i));
    return 0;
}

int SimSpi::exchangeConverter(const uint8_t* transmit, uint8_t* receive, size_t length) {
    if (transferError_ != 0)
        return transferError_;
    if (length != kConverterBytes)
        return EINVAL;
    ++converterTransfers_;
    receive[0] = 0;
    receive[1] = 0;
    receive[2] = 0;
    // A request without the start bit and single-ended mode gets no conversion.
    if ((transmit[0] & kConverterStartSingleEnded) != kConverterStartSingleEnded)
        return 0;
    int channel = ((transmit[0] & 0x01) << 2) | (transmit[1] >> 6);
    int count = provider_->adcCount(channel) & 0xFFF;
    receive[1] = static_cast<uint8_t>(count >> 8);
    receive[2] = static_cast<uint8_t>(count);
    return 0;
}

} // namespace platform
