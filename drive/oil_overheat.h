#pragma once
// Oil overheating (states 6-8): above tempStopWork the drive goes down at mainPumpFreq, waits at the
// bottom, then runs the main pump against open valves to cool the oil; below tempStartWork it
// restarts. With the extra cooling pump chosen (coolingPump "Дополнительный") it only stops. The
// stroke states stay the controller's: the part asks for its phases through a hook, and the
// controller hands back the state timer's expiry and the rod reaching the bottom.

#include "drive/supervision_actions.h"

#include <cstdint>
#include <functional>

class OilOverheat {
public:
    // Going down (state 6), waiting at the bottom (7), the cooling run (8).
    enum class Phase { Down, Bottom, CoolingRun };
    struct Hooks {
        std::function<void(Phase phase)> enter; // the controller enters the phase's stroke state
        std::function<bool(Phase phase)> in;    // the stroke is in the phase's state
        // State 0 with both motors and both valves off.
        std::function<bool()> atRest;
        std::function<bool()> stopReasonActive; // some active alarm stops the drive
        std::function<void()> restart;          // the cycle starts again with an up stroke
        std::function<void()> cancelDwell;      // the top dwell ends unused
        // Both units stop and take the frequency for their next start.
        std::function<void(float setPoint)> stopUnits;
        std::function<void(int unit, float frequency)> startUnit;
        std::function<bool()> rodAtBottom; // НУ1's bottom sensor is active
        // The descent: its limit (ms) when it begins, or that there is none; the selected valves open
        // with their supervision; the supervision of the descent ends at the bottom.
        std::function<uint32_t()> downStrokeLimitMs;
        std::function<void()> noDescent;
        std::function<void()> openValves;
        std::function<void()> descentEnded;
        std::function<void(int valve, bool on)> setValve;
        std::function<void(const char* name, uint32_t ms)> armStateTimer;
    };

    OilOverheat(SupervisionActions& actions, Hooks hooks) : actions_(actions), hooks_(std::move(hooks)) {}

    // A new oil temperature (°C) after the previous one.
    void temperatureChanged(float celsius, float previous);
    // The rod reached the bottom, by its sensor or by the state timer: the wait before the cooling run.
    void atBottom();
    // The wait at the bottom is over.
    void startCoolingRun();

private:
    void goDown();

    SupervisionActions& actions_;
    Hooks hooks_;
};
