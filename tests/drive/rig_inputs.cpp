#include "tests/drive/rig_inputs.h"

uint64_t RigInputs::copied(uint64_t bits, uint64_t outputs, int from, int to) const {
    return (outputs & bit(from)) ? bits | bit(to) : bits & ~bit(to);
}

uint64_t RigInputs::inputBits() {
    uint64_t bits = bits_;
    if (spi_.outputFrames().empty())
        return bits;
    // Outputs 20-23 are not inverted on the chain: the physical level is the logical state.
    uint64_t outputs = spi_.outputFrames().back().bits;
    if (valveFollows_[0])
        bits = copied(bits, outputs, 22, 17);
    if (valveFollows_[1])
        bits = copied(bits, outputs, 23, 18);
    if (coolingFollows_) {
        bits = copied(bits, outputs, 21, 11);
        bits = copied(bits, outputs, 20, 15);
    }
    return bits;
}
