#include "drive/smart_target.h"

#include <algorithm>
#include <numeric>

float middleMean(std::vector<float> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    auto first = values.begin();
    auto last = values.end();
    if (values.size() >= 7) {
        first = values.begin() + 3;
        last = values.begin() + 7;
    }
    return std::accumulate(first, last, 0.0f) / static_cast<float>(last - first);
}

float smartStrokeRate(float meanRate, float meanFill, float wantedFill, int correctionMode) {
    bool linear = correctionMode == kCorrectLinearly ||
                  (correctionMode == kLinearUpProportionalDown && meanFill > wantedFill) ||
                  (correctionMode == kProportionalUpLinearDown && meanFill < wantedFill);
    // A wanted fill factor of 0 (a damaged file) cannot scale anything.
    if (linear || !(wantedFill > 0))
        return meanRate + meanFill - wantedFill;
    return meanRate * meanFill / wantedFill;
}
