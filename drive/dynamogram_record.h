#pragma once
// One pumping cycle's rod load as the controller records it: a load sample every 50 ms of the up
// stroke and of the down stroke, their extremes and the stroke rate achieved.

#include "drive/dynamogram_file.h"

#include <cfloat>
#include <vector>

class DynamogramRecord {
public:
    // Each sample moves the extremes. A sequence already holding kDynamogramMaxSamples does not grow:
    // the record is marked skip instead.
    void appendUp(float load);
    void appendDown(float load);

    const std::vector<float>& upLoads() const { return up_; }
    const std::vector<float>& downLoads() const { return down_; }
    // The extremes start at the largest and at the smallest positive float.
    float minLoad() const { return min_; }
    float maxLoad() const { return max_; }
    // What the file stores of it.
    DynamogramCycle cycle() const;

    // Never written: the cycle was incomplete or overflowed.
    bool skip = false;
    bool written = false;
    // 60000 / the cycle period in ms, set when the cycle ends in the steady stroke; 0 until then.
    float strokesPerMinute = 0;

private:
    void append(std::vector<float>& samples, float load);

    std::vector<float> up_;
    std::vector<float> down_;
    float min_ = FLT_MAX;
    float max_ = FLT_MIN;
};

// Told of every record that joins the completed ones, with its fill factor (the panel draws it).
class DynamogramObserver {
public:
    virtual ~DynamogramObserver() = default;
    virtual void dynamogramCompleted(const DynamogramRecord& record, float fillFactor) = 0;
};
