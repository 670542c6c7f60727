#pragma once
// The discrete outputs as the controller set them: each output's level and blink mode, kept also
// while the I/O chain does not exist yet (the controller is created first) and handed to it at its
// first exchange.

#include <cstdint>

class DiscreteIO;

class OutputImage {
public:
    // Records the level (or blink mode) and passes it on to the chain when there is one.
    void set(int n, bool on, DiscreteIO* chain);
    void setBlink(int n, bool fast, bool slow, DiscreteIO* chain);

    bool on(int n) const { return (levels_ >> n & 1) != 0; }
    bool fastBlink(int n) const { return (fastBlink_ >> n & 1) != 0; }
    bool slowBlink(int n) const { return (slowBlink_ >> n & 1) != 0; }

    // Every output set so far with its level, and every output's blink mode, to the chain.
    void applyTo(DiscreteIO& chain) const;

private:
    uint64_t levels_ = 0;
    uint64_t set_ = 0;
    uint64_t fastBlink_ = 0;
    uint64_t slowBlink_ = 0;
};
