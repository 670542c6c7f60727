#include "drive/fill_factor.h"

#include <algorithm>

float thresholdLine(int lineBase, float lineShift, float absLineX, float minLoad, float maxLoad) {
    switch (lineBase) {
    case kLineBetweenExtremes:
        return minLoad + (maxLoad - minLoad) * lineShift / 100.0f;
    case kLineAboveMinimum:
        return (lineShift + 100.0f) * minLoad / 100.0f;
    case kLineShareOfMaximum:
        return maxLoad * lineShift / 100.0f;
    default:
        return absLineX;
    }
}

float fillFactorOf(const std::vector<float>& downLoads, float line, int intersectionMode) {
    if (downLoads.empty())
        return 0;
    auto below = [line](float load) { return load < line; };
    float n = static_cast<float>(downLoads.size());
    if (intersectionMode == kAllIntersections)
        return static_cast<float>(std::count_if(downLoads.begin(), downLoads.end(), below)) / n;
    if (intersectionMode == kFirstIntersection) {
        auto first = std::find_if(downLoads.begin(), downLoads.end(), below);
        return static_cast<float>(downLoads.end() - first) / n;
    }
    auto lastAbove = std::find_if_not(downLoads.rbegin(), downLoads.rend(), below);
    return static_cast<float>(lastAbove - downLoads.rbegin()) / n;
}
