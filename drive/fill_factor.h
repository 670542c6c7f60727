#pragma once
// The pump's fill factor K read off a dynamogram's down stroke: the share of the stroke during which
// the rod load stays below a threshold line, the plunger then moving through liquid.

#include <vector>

// Ways of placing the threshold line (lineBase).
enum LineBase : int {
    kLineBetweenExtremes = 0, // lineShift % of the way from the minimum to the maximum
    kLineAboveMinimum = 1,    // lineShift % above the minimum
    kLineShareOfMaximum = 2,  // lineShift % of the maximum
    kLineAbsolute = 3,        // absLineX kgf
};

// Ways of counting the samples below the line (intersectionMode).
enum IntersectionMode : int {
    kLastIntersection = 0,  // the run below the line that ends the stroke
    kAllIntersections = 1,  // every sample below the line
    kFirstIntersection = 2, // from the first sample below the line to the end
};

// The line in kgf for a record whose load spans minLoad..maxLoad. An unknown base is the absolute line.
float thresholdLine(int lineBase, float lineShift, float absLineX, float minLoad, float maxLoad);

// K of the down-stroke samples against the line; a sample equal to the line is not below it. An
// unknown mode counts the last intersection. The caller handles an empty stroke.
float fillFactorOf(const std::vector<float>& downLoads, float line, int intersectionMode);
