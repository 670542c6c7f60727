#pragma once
// The automatic reclose (АПВ) after a drive's over-current: the unit is taken out and, after araDelay
// minutes, reset and brought back, at most numARA times within araReset completed cycles. A unit
// whose partner can take over recloses alone at the next bottom reversal; otherwise the drive stops
// and the tripped units reclose together (alarm 16).

#include "core/timer_queue.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

class Reclose {
public:
    struct Hooks {
        std::function<bool(int unit)> overCurrent; // the unit's drive reports an over-current
        std::function<bool(int unit)> faulty;
        std::function<void(int unit, bool faulty)> markFaulty;
        std::function<float(int unit)> setPoint;
        std::function<bool()> automatic;
        std::function<bool(int32_t code)> alarmActive;
        std::function<void(int32_t code, const std::string& text)> raise;
        std::function<bool(int32_t code)> clear;
        std::function<void()> stop; // the drive stops, its records closed
        std::function<void(int unit, bool raised)> resetLine;
        std::function<void()> groupResetStarted; // both tripped lines raised
    };
    explicit Reclose(Hooks hooks) : hooks_(std::move(hooks)) {}

    // Both units' over-current reports, НУ1 first.
    void checkOverCurrent();
    // At a bottom reversal: the unit whose reclose is due, no longer pending (0 for none).
    int takePending();
    // A unit's reset line was raised for a reclose.
    void countReset(int unit) { ++counts_[index(unit)]; }
    // The unit is back: its trip is over, and its maximum frequency is lowered at the next top.
    void clearTrip(int unit) { tripped_[index(unit)] = false; }
    void markRestarted(int unit) { restarted_[index(unit)] = true; }
    // At a top reversal: true once after the unit came back, with the set-point it tripped at.
    bool takeRestarted(int unit, float& trippedSetPoint);
    // The mode switch moved: nothing waits any more.
    void forgetPending();
    // A completed cycle: after araReset of them a unit's count is forgotten (journalled).
    void cycleCompleted(int limit);

    int count(int unit) const { return counts_[index(unit)]; }
    bool pending(int unit) const { return pending_[index(unit)]; }
    bool tripped(int unit) const { return tripped_[index(unit)]; }
    bool restartedAfterReset(int unit) const { return restarted_[index(unit)]; }

private:
    static size_t index(int unit) { return unit == 2 ? 1 : 0; }
    bool otherUnitCanTakeOver(int unit) const;
    void beginGroupReclose();
    void onUnitTimer(int unit);
    void onGroupTimer();

    Hooks hooks_;
    std::array<int, 2> counts_{};
    std::array<int, 2> cycles_{};
    std::array<bool, 2> pending_{};
    std::array<bool, 2> restarted_{};
    std::array<bool, 2> tripped_{};
    std::array<float, 2> setPoints_{};
    std::array<Timer, 2> unitTimers_;
    Timer groupTimer_;
};
