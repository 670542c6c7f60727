// The dynamogram recorder. The phase rules are in drive/dynamogram_phase.h.

#include "drive/dynamogram_recorder.h"

#include "config/config.h"
#include "core/registry.h"
#include "drive/controller_types.h"
#include "drive/smart_correction.h"

void DynamogramRecorder::sample(float load) {
    SamplePhase phase = hooks_.phase();
    if (phase == SamplePhase::Up)
        sampleUp(load);
    else if (phase == SamplePhase::Down)
        sampleDown(load);
}

void DynamogramRecorder::setCycleRate(float strokesPerMinute) {
    if (current_)
        current_->strokesPerMinute = strokesPerMinute;
}

void DynamogramRecorder::sampleUp(float load) {
    if (!current_ || inDown_)
        begin();
    current_->appendUp(load);
}

void DynamogramRecorder::sampleDown(float load) {
    if (gConfig->gMin.value >= 0 && load < gConfig->gMin.value)
        hooks_.lowLoad();
    DynamogramRecord* record = current_.get();
    if (!record)
        return;
    if (record->upLoads().empty()) {
        record->skip = true;
        return;
    }
    if (!inDown_ && !topSeen_)
        record->skip = true;
    inDown_ = true;
    record->appendDown(load);
}

// A new cycle: the one before ends, and the reversals are looked for afresh.
void DynamogramRecorder::begin() {
    if (current_)
        complete(std::move(current_));
    current_ = std::make_unique<DynamogramRecord>();
    inDown_ = false;
    topSeen_ = false;
    bottomSeen_ = false;
}

// An incomplete or overflowed record goes; a good one is shown and kept.
void DynamogramRecorder::complete(std::unique_ptr<DynamogramRecord> record) {
    if (!bottomSeen_ || record->skip)
        return;
    float fill = recordFillFactor(*record);
    if (observer_)
        observer_->dynamogramCompleted(*record, fill);
    records_.push_back(std::move(record));
    ++completed_;
    while (records_.size() > kKept)
        records_.pop_front();
    hooks_.completed();
}
