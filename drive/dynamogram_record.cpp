#include "drive/dynamogram_record.h"

#include <algorithm>

void DynamogramRecord::appendUp(float load) {
    append(up_, load);
}

void DynamogramRecord::appendDown(float load) {
    append(down_, load);
}

void DynamogramRecord::append(std::vector<float>& samples, float load) {
    min_ = std::min(min_, load);
    max_ = std::max(max_, load);
    if (samples.size() >= kDynamogramMaxSamples) {
        skip = true;
        return;
    }
    samples.push_back(load);
}

DynamogramCycle DynamogramRecord::cycle() const {
    DynamogramCycle cycle;
    cycle.upLoads = up_;
    cycle.downLoads = down_;
    cycle.strokesPerMinute = strokesPerMinute;
    return cycle;
}
