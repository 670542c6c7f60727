#pragma once
// The inputs of a test rig wired to the simulated chain: levels a test sets, with the valve current
// feedback (inputs 17, 18) and the cooling feedback (11, 15) following their outputs unless a test
// breaks them, and the converter counts.

#include "platform/sim_spi.h"

#include <array>
#include <cstdint>

class RigInputs : public platform::SimSpiProvider {
public:
    explicit RigInputs(platform::SimSpi& spi) : spi_(spi) {}

    void set(int n, bool level) { bits_ = level ? bits_ | bit(n) : bits_ & ~bit(n); }
    bool get(int n) const { return (bits_ & bit(n)) != 0; }
    void setAdc(int channel, int count) { counts_[static_cast<size_t>(channel)] = count; }
    // Valve n's current input follows its output (true) or stays as set.
    void setValveFeedback(int valve, bool follows) {
        valveFollows_[static_cast<size_t>(valve - 1)] = follows;
    }
    void setCoolingFeedback(bool follows) { coolingFollows_ = follows; }

    uint64_t inputBits() override;
    int adcCount(int channel) override { return counts_[static_cast<size_t>(channel & 7)]; }

private:
    static uint64_t bit(int n) { return uint64_t{1} << n; }
    uint64_t copied(uint64_t bits, uint64_t outputs, int from, int to) const;

    platform::SimSpi& spi_;
    uint64_t bits_ = 0;
    std::array<int, 8> counts_{};
    std::array<bool, 2> valveFollows_{{true, true}};
    bool coolingFollows_ = true;
};
