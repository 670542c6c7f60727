#pragma once
// Rod load supervision and the rod overload (states 9-11): a load above gMax stops the drive, the
// sensors are reset, the rod goes down, and after araDelay minutes the drive restarts, at most numARA
// times within araReset completed cycles. A load below gMin on the way down is a warning (alarm 25),
// held for the rest of that down stroke. The stroke states stay the controller's: the part asks for
// its phases through a hook, and the controller hands back the end of the sensor reset, the bottom
// and the state timer's expiry.

#include "drive/supervision_actions.h"

#include <cstdint>
#include <functional>

class RodOverload {
public:
    // Stopped for the sensor reset (state 9), going down (10), waiting to restart (11).
    enum class Phase { SensorReset, Down, Wait };
    struct Hooks {
        std::function<void(Phase phase)> enter; // the controller enters the phase's stroke state
        std::function<bool(Phase phase)> in;    // the stroke is in the phase's state
        std::function<bool()> loadValid;        // НУ1's pressure sensor is OK
        std::function<bool()> driveRuns;        // a motor runs
        std::function<bool()> cycleDownStroke;  // a down stroke of the cycle itself (states 1, 3, 5)
        std::function<void()> resetSensors;
        // The descent: its limit (ms) when it begins; the selected valves open with their supervision;
        // at the bottom the per-stroke alarms are settled, the valves close and the descent's
        // supervision ends.
        std::function<uint32_t()> downStrokeLimitMs;
        std::function<void()> openValves;
        std::function<void()> descentEnded;
        std::function<void()> restart; // the selection runs again, the cycle starts with an up stroke
        std::function<void(const char* name, uint32_t ms)> armStateTimer;
    };

    RodOverload(SupervisionActions& actions, Hooks hooks) : actions_(actions), hooks_(std::move(hooks)) {}

    // A rod load sample (kgf).
    void loadSample(float load);
    // Alarm 25, held for the rest of this down stroke.
    void lowLoad();
    // A down stroke begins: no low load yet.
    void strokeBegins() { lowLoadThisStroke_ = false; }
    bool lowLoadThisStroke() const { return lowLoadThisStroke_; }
    // The sensor reset is over: the rod goes down.
    void sensorsReset();
    // The rod reached the bottom, by its sensor or by the state timer: the wait before the restart.
    void atBottom();
    // The wait is over.
    void restartDue();
    // A cycle without an overload completed: after limit of them the restart count is forgotten.
    void cycleCompleted(int limit);
    int restarts() const { return restarts_; }

private:
    SupervisionActions& actions_;
    Hooks hooks_;
    bool lowLoadThisStroke_ = false;
    int cycles_ = 0;
    int restarts_ = 0;
};
