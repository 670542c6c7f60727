#pragma once
// The smart mode: every nsCorrectionInterval minutes ("nsTimer") the target stroke rate is moved by the
// pump's fill factor over the last ten dynamograms. A correction due before ten cycles were completed
// waits for them and runs with the tenth.

#include "core/timer_queue.h"
#include "drive/dynamogram_record.h"

#include <cstdint>
#include <deque>
#include <memory>

// The pump's fill factor K of a record (0.5 for one marked skip or without a down stroke).
float recordFillFactor(const DynamogramRecord& record);

class SmartCorrection {
public:
    using Records = std::deque<std::unique_ptr<DynamogramRecord>>;
    static constexpr size_t kRecordsUsed = 10;

    // The completed records (newest last) and how many were completed since the start, as their owner
    // keeps them.
    SmartCorrection(const Records& records, const uint32_t& completed)
        : records_(records), completed_(completed) {}

    // Armed while the smart mode is on; an interval of 0 corrects nothing (a waiting correction is
    // dropped too).
    void arm();
    // The correction itself (journalled when the target moves).
    void correct();
    // A record was completed: a waiting correction runs once ten are there.
    void recordCompleted();
    // The performance parameters were reset: the target is found again.
    void resetTarget() { target_ = 0; }

    // The target (0 until the first correction), a correction waiting for ten records, the timer.
    float target() const { return target_; }
    bool pending() const { return pending_; }
    bool armed() const { return timer_.armed(); }

private:
    const Records& records_;
    const uint32_t& completed_;
    float target_ = 0;
    bool pending_ = false;
    Timer timer_;
};
