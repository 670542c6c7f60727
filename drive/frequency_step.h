#pragma once
// The stroke-rate tuning's decision which working frequencies, and which pump units, a step changes.
//
// The step is in whole hertz (positive: faster). The stroke rate follows the oil flow, which is about
// the sum of the running units' frequencies. Every change below moves that sum in the step's
// direction or not at all, so the achieved rate moves monotonically towards the target and the
// tuning's proportional step converges:
//
// - One unit runs: its frequency moves by the step, kept within its minFreq..maxFreq.
// - Two units run: the lower bound of each is the larger of its minFreq and minFreqSync. Three
//   candidates are formed: unit 1 moved, unit 2 moved, both moved, each frequency clamped. Only
//   candidates whose sum moves in the step's direction take part (a unit already at its limit must
//   not win by keeping the ratio and moving nothing); of those the one whose f2/f1 lies closest to
//   pu2pu1FreqRatio is written. Equally close candidates are taken in the order both, unit 1, unit 2.
//   Both moved by the step change the flow by the same share as one unit alone moved by the step, so
//   the loop keeps the gain of one unit; moving one of two has half of it.
// - Nothing left to move (the frequencies at their limits): the frequencies are brought within their
//   limits. With unit switching (perfIncMode "Двигатель - клапан") a unit may be switched instead,
//   when the units left running can carry exactly the flow wanted (the present flow plus the step),
//   so that the rate never jumps and a target is never passed back and forth between one and two
//   units:
//   - faster, one unit at its maximum: the other unit is switched on, if it may be (mode "Авто",
//     healthy); the wanted flow is shared in the ratio pu2pu1FreqRatio within both units' bounds;
//   - slower, two units at their lower bounds: one is switched off (the one without priority when it
//     may be, else the other); the one left takes the whole wanted flow.
//   The last running unit is never switched off.

#include <array>

// One pump unit as the tuning sees it.
struct TunedUnit {
    bool selected = false;
    // The tuning may switch it on or off: its mode is "Авто" and it is healthy.
    bool switchable = false;
    float freq = 0;
    float minFreq = 0;
    float maxFreq = 0;
};

using TunedUnits = std::array<TunedUnit, 2>; // НУ1, НУ2

struct FrequencyStepRules {
    float minFreqSync = 0;
    float ratio = 1; // wanted f2 / f1
    bool switchUnits = false;
    int priorityUnit = 1; // kept running when one of two is switched off
};

// The units after a step of `step` hertz.
TunedUnits applyFrequencyStep(TunedUnits units, int step, const FrequencyStepRules& rules);
