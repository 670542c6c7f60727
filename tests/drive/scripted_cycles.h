#pragma once
// Whole pumping cycles scripted on the controller rig: the rod rises for as long as the oil flow of the
// running drives needs, carries the load of a pump with a given fill, and comes down in a fixed time
// once a valve has opened. НУ1 and ЭК1 are on, the pressure is not smoothed, pauses are not recorded.

#include "tests/drive/controller_fixture.h"

struct CycleScript {
    // The up stroke takes upWork / (sum of the running drives' set-points) seconds (400 Hz·s: 10 s at
    // 40 Hz); with upWork 0 it takes upMs.
    float upWork = 400;
    uint32_t upMs = 4000;
    uint32_t downMs = 4000;
    // kgf: lifting the fluid; the first part of the down stroke, while the plunger goes through gas;
    // the rest, once it meets the liquid (and at the bottom until the drives turn again).
    float upLoad = 5000;
    float gasLoad = 4200;
    float liquidLoad = 1500;
    // The share of the down stroke after the plunger met the liquid.
    float fill = 0.8f;
    // Non-zero: the bottom is reached this long after it was reached the cycle before (the liquid part
    // of the down stroke takes what is left), so the tuning measures exactly this period. Use times in
    // whole 10 ms, the rig's exchange step.
    uint32_t periodMs = 0;
};

class ScriptedCycleTest : public ControllerFixture {
protected:
    ScriptedCycleTest();

    // НУ1's rod load through its pressure input (read within 50 ms).
    void setLoad(float kgf);
    // The sum of the set-points of the drives commanded to run.
    float flow();
    uint32_t nowMs() const;
    // From the bottom (motors starting): the up stroke, the top, the down stroke, the bottom.
    void runCycle(const CycleScript& script = {});
    void runCycles(int count, const CycleScript& script = {}) {
        for (int i = 0; i < count; ++i)
            runCycle(script);
    }
    // Runs until the next cycle's first up-stroke sample has completed the record of the last one (the
    // drives' polling reports them turning up to two seconds after the start).
    void completeLastCycle();
    // The rate of the last cycle (strokes/min) as the tuning measured it: from one bottom reversal to
    // the next.
    float lastRate() const;
    uint32_t lastPeriodMs() const { return lastPeriodMs_; }

private:
    uint32_t lastPeriodMs_ = 0;
    uint32_t bottomSetAtMs_ = 0;
};
