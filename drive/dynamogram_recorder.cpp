// The dynamogram recorder: every 50 ms load sample, while НУ1's switch is in automatic, goes to the up
// or the down stroke of the record of the cycle under way. A cycle ends with the first up-stroke
// sample after its down stroke; it joins the last ten completed records (and the panel draws it) when
// both of its reversals happened and nothing overflowed. The phase rules are in drive/dynamogram_phase.h; a
// valve is in use when its mode is not "Откл." and its state is OK.

#include "config/config.h"
#include "core/registry.h"
#include "drive/controller.h"
#include "drive/unit_settings.h"

bool Controller::valveInUse(int valve) const {
    return valveModeOf(valve).current != kUnitOff && valveState(valve) == kSensorOk;
}

// A drive turns when its turning output (32, 35) is on, a valve is on when its output (22, 23) is.
SamplePhase Controller::samplePhase() const {
    return dynamogramSamplePhase(
        valveInUse(1) || valveInUse(2), outputOn(kValve1Output) || outputOn(kValve2Output),
        outputOn(kTurningLamp1) || outputOn(kTurningLamp2), gConfig->dynoRecordInPause.current == 0);
}

void Controller::recordDynamogramSample(float load) {
    if (!automatic())
        return;
    SamplePhase phase = samplePhase();
    if (phase == SamplePhase::Up)
        recordUpSample(load);
    else if (phase == SamplePhase::Down)
        recordDownSample(load);
}

void Controller::recordUpSample(float load) {
    if (!currentDynamogram_ || dynamogramInDown_)
        beginDynamogram();
    currentDynamogram_->appendUp(load);
}

void Controller::recordDownSample(float load) {
    if (gConfig->gMin.value >= 0 && load < gConfig->gMin.value)
        raiseLowLoad();
    DynamogramRecord* record = currentDynamogram_.get();
    if (!record)
        return;
    if (record->upLoads().empty()) {
        record->skip = true;
        return;
    }
    if (!dynamogramInDown_ && !topReversalSeen_)
        record->skip = true;
    dynamogramInDown_ = true;
    record->appendDown(load);
}

// A new cycle: the one before ends, and the reversals are looked for afresh.
void Controller::beginDynamogram() {
    if (currentDynamogram_)
        completeDynamogram(std::move(currentDynamogram_));
    currentDynamogram_ = std::make_unique<DynamogramRecord>();
    dynamogramInDown_ = false;
    topReversalSeen_ = false;
    bottomReversalSeen_ = false;
}

// An incomplete or overflowed record goes; a good one is drawn, shown and kept.
void Controller::completeDynamogram(std::unique_ptr<DynamogramRecord> record) {
    if (!bottomReversalSeen_ || record->skip)
        return;
    float fill = recordFillFactor(*record);
    if (dynamogramObserver_)
        dynamogramObserver_->dynamogramCompleted(*record, fill);
    dynamograms_.push_back(std::move(record));
    ++dynamogramsCompleted_;
    while (dynamograms_.size() > kDynamogramsKept)
        dynamograms_.pop_front();
    smart_.recordCompleted();
}
