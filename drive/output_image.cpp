#include "drive/output_image.h"

#include "drive/discrete_io.h"

namespace {

uint64_t withBit(uint64_t bits, int n, bool on) {
    uint64_t bit = uint64_t{1} << n;
    return on ? bits | bit : bits & ~bit;
}

} // namespace

void OutputImage::set(int n, bool on, DiscreteIO* chain) {
    set_ = withBit(set_, n, true);
    levels_ = withBit(levels_, n, on);
    if (chain)
        chain->setOutput(n, on);
}

void OutputImage::setBlink(int n, bool fast, bool slow, DiscreteIO* chain) {
    fastBlink_ = withBit(fastBlink_, n, fast);
    slowBlink_ = withBit(slowBlink_, n, slow);
    if (!chain)
        return;
    chain->setFastBlink(n, fast);
    chain->setSlowBlink(n, slow);
}

void OutputImage::applyTo(DiscreteIO& chain) const {
    for (int n = 0; n < DiscreteIO::kSignals; ++n) {
        if (set_ >> n & 1)
            chain.setOutput(n, on(n));
        chain.setFastBlink(n, fastBlink(n));
        chain.setSlowBlink(n, slowBlink(n));
    }
}
