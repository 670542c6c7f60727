#pragma once
// The dynamogram recorder: every load sample of automatic operation goes to the up or the down stroke
// of the record of the cycle under way. A cycle ends with the first up-stroke sample after its down
// stroke; it joins the last ten completed records (and its observer hears of it) when both of its
// reversals happened and nothing overflowed. It owns the saving of the records to files.

#include "drive/dynamogram_phase.h"
#include "drive/dynamogram_record.h"
#include "drive/dynamogram_saving.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

class DynamogramRecorder {
public:
    using Records = std::deque<std::unique_ptr<DynamogramRecord>>;
    struct Hooks {
        std::function<SamplePhase()> phase; // where a sample taken now belongs
        std::function<void()> lowLoad;      // a down-stroke sample below gMin
        std::function<void()> completed;    // a record joined the completed ones
    };
    static constexpr size_t kKept = 10;

    explicit DynamogramRecorder(Hooks hooks) : hooks_(std::move(hooks)) {}

    // One load sample (kgf) of automatic operation.
    void sample(float load);
    // The stroke's reversals, as the cycle sees them.
    void topReversal() { topSeen_ = true; }
    void bottomReversal() { bottomSeen_ = true; }
    // The rate the cycle under way achieved (strokes a minute), kept in its record.
    void setCycleRate(float strokesPerMinute);
    void setObserver(DynamogramObserver* observer) { observer_ = observer; }

    // The record under way (nullptr before the first), the completed ones (oldest first), how many
    // were completed since the start, the reversals seen in the cycle under way.
    const DynamogramRecord* current() const { return current_.get(); }
    const Records& records() const { return records_; }
    const uint32_t& completed() const { return completed_; }
    bool topReversalSeen() const { return topSeen_; }
    bool bottomReversalSeen() const { return bottomSeen_; }
    DynamogramSaver& saver() { return saver_; }
    const DynamogramSaver& saver() const { return saver_; }

private:
    void sampleUp(float load);
    void sampleDown(float load);
    void begin();
    void complete(std::unique_ptr<DynamogramRecord> record);

    Hooks hooks_;
    std::unique_ptr<DynamogramRecord> current_;
    // The current record's last sample went to its down stroke.
    bool inDown_ = false;
    bool topSeen_ = false;
    bool bottomSeen_ = false;
    Records records_;
    DynamogramObserver* observer_ = nullptr;
    uint32_t completed_ = 0;
    DynamogramSaver saver_{records_};
};
