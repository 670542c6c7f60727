#include "drive/discrete_io.h"

#include "core/log.h"
#include "core/registry.h"
#include "core/sysfs_file.h"
#include "platform/clock.h"

#include <cstring>

DiscreteIO* gDiscreteIO = nullptr;

namespace {

const char kUnit[] = "discreteio";

constexpr uint64_t bit(int n) {
    return uint64_t{1} << n;
}

constexpr uint64_t bitRange(int first, int last) {
    uint64_t bits = 0;
    for (int n = first; n <= last; ++n)
        bits |= bit(n);
    return bits;
}

constexpr uint64_t kInvertedOutputs = DiscreteIO::kInvertedOutputs;
static_assert(kInvertedOutputs == (bitRange(8, 14) | bit(24) | bitRange(28, 39)), "outputs 8-14, 24, 28-39");

// Inputs without a signal, always taken as 0.
constexpr uint64_t kUnusedInputs = bit(8) | bit(19) | bit(23);

// Outputs the blank pattern drives off.
constexpr uint64_t kBlankableOutputs = bitRange(24, 39);

constexpr uint64_t kAllSignals = bitRange(0, 39);

// The electro-valves ЭК1 and ЭК2 and the lamps that show them.
struct ValveLamp {
    int valve;
    int lamp;
};
constexpr ValveLamp kValveLamps[] = {{22, 37}, {23, 39}};

bool isSignal(int n) {
    return n >= 0 && n < DiscreteIO::kSignals;
}

uint64_t withBit(uint64_t bits, int n, bool on) {
    return on ? (bits | bit(n)) : (bits & ~bit(n));
}

void writeOutputEnable(const char* path, const char* text) {
    int error = writeSysfsFile(path, text);
    if (error != 0)
        LOG_MSG(LOG_ERR, kUnit, "cannot open %s: %s", path, strerror(error));
}

} // namespace

DiscreteIO::DiscreteIO(DiscreteInputListener* listener) : listener_(listener), outputs_(kInvertedOutputs) {
    int error = 0;
    chain_ = gPlatform->spi().open("/dev/spidev32766.0", error);
    if (!chain_)
        LOG_MSG(LOG_ERR, kUnit, "cannot open /dev/spidev32766.0: %s", strerror(error));
    timer_.start("DiscreteIO", kFirstExchangeMs, [this] { exchange(); });
}

DiscreteIO::~DiscreteIO() {
    chain_.reset();
    timer_.cancel();
    writeOutputEnable("/sys/class/gpio/pioA13/value", "255\n");
}

void DiscreteIO::setOutput(int n, bool on) {
    if (!isSignal(n))
        return;
    outputs_ = withBit(outputs_, n, on != ((kInvertedOutputs & bit(n)) != 0));
    for (const ValveLamp& pair : kValveLamps)
        if (pair.valve == n)
            setOutput(pair.lamp, on);
}

bool DiscreteIO::isOutputOn(int n) const {
    return isSignal(n) && ((outputs_ ^ kInvertedOutputs) & bit(n)) != 0;
}

void DiscreteIO::setFastBlink(int n, bool on) {
    if (isSignal(n))
        fastBlink_ = withBit(fastBlink_, n, on);
}

void DiscreteIO::setSlowBlink(int n, bool on) {
    if (isSignal(n))
        slowBlink_ = withBit(slowBlink_, n, on);
}

bool DiscreteIO::isInputOn(int n) const {
    return isSignal(n) && (accepted_ & bit(n)) != 0;
}

void DiscreteIO::exchange() {
    // The cycle keeps its cadence from the scheduled time, not from now: the next expiry is one period
    // after this one. A pass that comes late is followed by the next one as soon as possible, and the
    // cycle never drifts.
    uint32_t nextExpiry = gTimers->currentTick() + kExchangePeriodMs;
    if (chain_) {
        buildTransmitFrame(platform::monotonicMs());
        int error = chain_->transfer(transmit_.data(), receive_.data(), kFrameBytes);
        if (error != 0) {
            LOG_MSG(LOG_ERR, kUnit, "/dev/spidev32766.0: transfer error: %s", strerror(error));
        } else {
            uint64_t raw = 0;
            for (size_t i = 0; i < kFrameBytes; ++i)
                raw |= static_cast<uint64_t>(receive_[i]) << (8 * i);
            raw &= kAllSignals & ~kUnusedInputs;
            if (started_)
                debounce(raw);
            else
                takeFirstSample(raw);
        }
    }
    auto left = static_cast<int32_t>(nextExpiry - platform::monotonicMs());
    timer_.start("DiscreteIO", left > 0 ? static_cast<uint32_t>(left) : 0, [this] { exchange(); });
}

void DiscreteIO::buildTransmitFrame(uint32_t nowMs) {
    // The patterns apply to a copy: the image keeps the logical states.
    uint64_t levels = outputs_;
    if (blank_ && nowMs % 1000 < 500)
        levels = (levels & ~kBlankableOutputs) | (kInvertedOutputs & kBlankableOutputs);
    if (nowMs % 200 <= 99)
        levels ^= fastBlink_;
    if (nowMs % 900 <= 99)
        levels ^= slowBlink_;
    for (size_t i = 0; i < kFrameBytes; ++i)
        transmit_[i] = static_cast<uint8_t>(levels >> (8 * i));
}

void DiscreteIO::takeFirstSample(uint64_t raw) {
    // Line pioA13 low powers the outputs, now that the chain holds the image.
    writeOutputEnable("/sys/class/gpio/pioA13/direction", "out\n");
    writeOutputEnable("/sys/class/gpio/pioA13/value", "0\n");
    // The levels found at start-up are the initial state, not changes.
    accepted_ = raw;
    previous_ = raw;
    started_ = true;
    if (listener_)
        listener_->discreteIoStarted();
}

void DiscreteIO::debounce(uint64_t raw) {
    // A new level is accepted once two consecutive samples, 10 ms apart, agree on it.
    uint64_t accepted = (raw ^ accepted_) & ~(raw ^ previous_);
    previous_ = raw;
    // All accepted levels are in place before anyone hears of them: pairs of inputs read together.
    accepted_ ^= accepted;
    for (int n = 0; n < kSignals; ++n) {
        if (!(accepted & bit(n)))
            continue;
        bool state = (accepted_ & bit(n)) != 0;
        LOG_MSG(LOG_DEBUG, kUnit, "key %d %s", n, state ? "pressed" : "released");
        if (listener_)
            listener_->inputChanged(n, state);
    }
}
