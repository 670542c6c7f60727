#include "drive/frequency_step.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace {

// The upper limit wins over the lower one should the settings cross them.
float bounded(float f, float lo, float hi) {
    return std::min(hi, std::max(lo, f));
}

bool movesWithStep(float before, float after, int step) {
    return step > 0 ? after > before : after < before;
}

float ratioError(float f1, float f2, float ratio) {
    if (!(f1 > 0))
        return std::numeric_limits<float>::infinity();
    return std::fabs(f2 / f1 - ratio);
}

// The bounds of each unit while both run.
struct PairBounds {
    float lo[2];
    float hi[2];

    PairBounds(const TunedUnits& units, const FrequencyStepRules& rules) {
        for (size_t n = 0; n < 2; ++n) {
            lo[n] = std::max(units[n].minFreq, rules.minFreqSync);
            hi[n] = units[n].maxFreq;
        }
    }
    float clamp(size_t n, float f) const { return bounded(f, lo[n], hi[n]); }
};

// Shares a flow between both units in the wanted ratio, within their bounds; false when the bounds
// cannot hold exactly that flow.
bool shareFlow(TunedUnits& units, float flow, const FrequencyStepRules& rules) {
    PairBounds bounds(units, rules);
    if (flow < bounds.lo[0] + bounds.lo[1] || flow > bounds.hi[0] + bounds.hi[1])
        return false;
    float ratio = rules.ratio > 0 ? rules.ratio : 1.0f;
    float f1 = bounds.clamp(0, std::round(flow / (1.0f + ratio)));
    float f2 = bounds.clamp(1, flow - f1);
    // Whatever unit 2 could not take (or give) goes back to unit 1, which the bounds allow.
    units[0].freq = flow - f2;
    units[1].freq = f2;
    return true;
}

// One unit at its maximum and a step up: the other one joins, if it may and the pair can carry the flow.
TunedUnits switchOn(TunedUnits units, size_t added, int step, const FrequencyStepRules& rules) {
    if (!units[added].switchable)
        return units;
    TunedUnits both = units;
    if (!shareFlow(both, units[1 - added].freq + static_cast<float>(step), rules))
        return units;
    both[added].selected = true;
    return both;
}

// Both units at their lower bounds and a step down: one leaves, if one may and the other can carry the
// flow alone.
TunedUnits switchOff(TunedUnits units, int step, const FrequencyStepRules& rules) {
    size_t keep = rules.priorityUnit == 2 ? 1 : 0;
    size_t drop = 1 - keep;
    if (!units[drop].switchable)
        std::swap(keep, drop);
    if (!units[drop].switchable)
        return units;
    float flow = units[0].freq + units[1].freq + static_cast<float>(step);
    if (flow < units[keep].minFreq || flow > units[keep].maxFreq)
        return units;
    units[keep].freq = flow;
    units[drop].selected = false;
    return units;
}

TunedUnits stepOneUnit(TunedUnits units, size_t n, int step, const FrequencyStepRules& rules) {
    TunedUnit& unit = units[n];
    float current = bounded(unit.freq, unit.minFreq, unit.maxFreq);
    float next = bounded(current + static_cast<float>(step), unit.minFreq, unit.maxFreq);
    bool moved = movesWithStep(current, next, step);
    unit.freq = next;
    if (moved || !rules.switchUnits || step < 0)
        return units;
    return switchOn(units, 1 - n, step, rules);
}

TunedUnits stepTwoUnits(TunedUnits units, int step, const FrequencyStepRules& rules) {
    PairBounds bounds(units, rules);
    float held1 = bounds.clamp(0, units[0].freq);
    float held2 = bounds.clamp(1, units[1].freq);
    float moved1 = bounds.clamp(0, held1 + static_cast<float>(step));
    float moved2 = bounds.clamp(1, held2 + static_cast<float>(step));
    struct Candidate {
        float f1;
        float f2;
    };
    // In the order that wins ties.
    const Candidate candidates[] = {{moved1, moved2}, {moved1, held2}, {held1, moved2}};
    const Candidate* best = nullptr;
    float bestError = 0;
    for (const Candidate& candidate : candidates) {
        if (!movesWithStep(held1 + held2, candidate.f1 + candidate.f2, step))
            continue;
        float error = ratioError(candidate.f1, candidate.f2, rules.ratio);
        if (best == nullptr || error < bestError) {
            best = &candidate;
            bestError = error;
        }
    }
    units[0].freq = best ? best->f1 : held1;
    units[1].freq = best ? best->f2 : held2;
    if (best || !rules.switchUnits || step > 0)
        return units;
    return switchOff(units, step, rules);
}

} // namespace

TunedUnits applyFrequencyStep(TunedUnits units, int step, const FrequencyStepRules& rules) {
    if (step == 0)
        return units;
    if (units[0].selected && units[1].selected)
        return stepTwoUnits(units, step, rules);
    if (units[0].selected)
        return stepOneUnit(units, 0, step, rules);
    if (units[1].selected)
        return stepOneUnit(units, 1, step, rules);
    return units;
}
