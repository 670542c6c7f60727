#pragma once
// The drive alarm reset of a reclose (stroke states 16-20): a unit's reset line is raised for 150 ms,
// then the drive is given a second to report, and the cycle goes on with the unit if its alarm has
// gone. The stroke states themselves are the controller's; it hears where the sequence stands.

#include "drive/reclose.h"

#include <cstdint>
#include <functional>

class DriveResetSequence {
public:
    struct Hooks {
        std::function<void()> stop; // the drive stops, its records closed
        std::function<void(int unit, bool raised)> resetLine;
        std::function<void(int unit)> markHealthy;
        std::function<void(int unit)> clearPower;
        std::function<bool(int unit)> alarmWordsFresh; // answered since its reset
        std::function<bool(int unit)> overCurrent;
        std::function<bool()> automatic;
        std::function<bool(int32_t code)> clear;
        std::function<void(int unit)> pulseStarted; // the unit's line is up for kPulseMs
        std::function<void(int unit)> checkStarted; // the drive's report is waited for
        std::function<void()> waitCheck;            // another kCheckMs
        std::function<void()> selectUnits;          // the units and valves are selected afresh
        std::function<void()> startDrive;
        std::function<bool()> bottomConfirming; // the bottom sensor's verdict is pending
        std::function<void()> upStroke;         // the cycle goes on with an up stroke
    };
    static constexpr uint32_t kCheckMs = 1000;
    // Seconds a drive that has not answered since its reset is waited for.
    static constexpr int kFreshReadingWaits = 10;

    DriveResetSequence(Reclose& reclose, Hooks hooks) : reclose_(reclose), hooks_(std::move(hooks)) {}

    // A unit's pending reclose: the drive stops and the unit's line is raised.
    void beginUnitReset(int unit);
    // The pulse always ends, whatever the mode switch says meanwhile: a drive is never left in reset.
    void pulseEnded(int unit);
    // Both tripped lines of a group reclose end together; the drive starts again.
    void bothPulsesEnded();
    // The check's second is over: the unit returns, or the over-current stays and the drive restarts.
    void checkDue(int unit);

private:
    Reclose& reclose_;
    Hooks hooks_;
    int checkWaits_ = 0;
};
