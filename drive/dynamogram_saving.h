#pragma once
// Dynamogram files: "/var/spool/telm_YYYYMMDD_HHMM.bin" in local time, "_1", "_2" ... for further
// files of the same minute, created exclusively with mode 0644. At most one a recordPeriod: at the
// bottom of a steady cycle when the period is not running, and when "saveDG" fires; every unwritten
// record at a halt that closes the records.

#include "core/timer_queue.h"
#include "drive/dynamogram_record.h"

#include <deque>
#include <memory>

class DynamogramSaver {
public:
    using Records = std::deque<std::unique_ptr<DynamogramRecord>>;
    // The completed records, newest last, as their owner keeps them.
    explicit DynamogramSaver(const Records& records) : records_(records) {}

    // The bottom of a steady cycle: the newest record is written unless the period runs.
    void cycleFinished();
    // Writes the newest record unless it is written, then re-arms "saveDG" for recordPeriod minutes
    // (with recordPeriod 0 no more are written until the period begins afresh).
    void save();
    // Every record not yet written (a halt that closes the records).
    void writeUnwritten();
    // The period begins afresh: at a start, the first full cycle is written.
    void restartPeriod();
    // recordPeriod changed: a new period begins with the next steady cycle.
    void releaseHold() { heldUntilStart_ = false; }
    bool periodRunning() const { return timer_.armed() || heldUntilStart_; }

    // Writes one record unless it is marked skip or written; a failure is logged.
    static void write(DynamogramRecord& record);

private:
    const Records& records_;
    Timer timer_;
    // recordPeriod 0: one record was written since the start, the next waits for the next start.
    bool heldUntilStart_ = false;
};
