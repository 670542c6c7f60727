#pragma once
// The position sensors' inputs: the discrete pairs of both units (debounced by SensorPairFilter) and
// НУ1's analogue inductive sensors, each unit's lamps, and НУ1's sensor of the chosen variant changing.

#include "drive/pump_unit.h"
#include "drive/sensor_pair_filter.h"

#include <array>
#include <functional>

class PositionInputs {
public:
    struct Hooks {
        std::function<bool(int input)> inputOn;
        std::function<void(int lamp, bool on)> setLamp;
        std::function<void(int lamp, bool fast, bool slow)> blink;
        // НУ1's top (or bottom) sensor of the chosen variant went from `previous` to `state`.
        std::function<void(bool top, int state, int previous)> changed;
    };

    PositionInputs(PumpUnit& unit1, PumpUnit& unit2, Hooks hooks);

    // An input of the unit's top (or bottom) pair changed.
    void pairChanged(int n, bool top);
    // НУ1's analogue top (or bottom) sensor read `volts`.
    void analogueSample(bool top, float volts);
    // НУ1's bottom pair is confirming a fault pattern.
    bool bottomConfirming() const { return bottomFilters_[0].confirming(); }

private:
    void accept(int n, bool top, int state);
    void showLamp(int n, bool top, int state);

    std::array<PumpUnit*, 2> units_;
    Hooks hooks_;
    std::array<SensorPairFilter, 2> topFilters_;
    std::array<SensorPairFilter, 2> bottomFilters_;
};
