#pragma once
// The smart mode's arithmetic: a robust mean of the last ten cycles and the stroke rate it asks for.

#include <vector>

// Ways of correcting the rate (nsCorrMode).
enum StrokeRateCorrection : int {
    kCorrectProportionally = 0,
    kCorrectLinearly = 1,
    kLinearUpProportionalDown = 2,
    kProportionalUpLinearDown = 3,
};

// The mean of the 4th to the 7th smallest of ten values: the three extremes on each side are dropped.
// Fewer than seven values give the plain mean (0 for none).
float middleMean(std::vector<float> values);

// The rate to aim for, not yet clamped, from the mean rate h and the mean fill factor K of the recent
// cycles and the wanted fill factor k (kNapol): linear h + K - k, or proportional h x K / k, by mode.
float smartStrokeRate(float meanRate, float meanFill, float wantedFill, int correctionMode);
