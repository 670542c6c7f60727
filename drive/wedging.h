#pragma once
// Wedging of the valves (states 12-14): the up stroke did not reach the top in upTimeMax, so a valve
// may be stuck. The valves are toggled twelve times (250 ms off, 500 ms on, alternating ЭК1 and ЭК2),
// then an up stroke is tried; each failed try widens the choice of units, up to both at full speed.
// The stroke states stay the controller's: the part asks for its phases through a hook, and the
// controller's state timer hands their expiry back.

#include "drive/supervision_actions.h"

#include <cstdint>
#include <functional>

class Wedging {
public:
    // Going down first (state 12), toggling the valves (13), trying an up stroke (14).
    enum class Phase { Down, Toggle, Up };
    struct Hooks {
        std::function<void(Phase phase)> enter; // the controller enters the phase's stroke state
        std::function<void(const char* name, uint32_t ms)> armStateTimer;
        std::function<void(int valve, bool on)> setValve;
        std::function<int(int valve)> valveState; // the valve's checked state (SensorState)
        std::function<void()> startSelectedMotors;
    };

    Wedging(SupervisionActions& actions, Hooks hooks) : actions_(actions), hooks_(std::move(hooks)) {}

    // The up stroke lasted upTimeMax: alarm 8 and, in automatic, the procedure from its first try.
    void upStrokeTooLong();
    // The state timer ran out while toggling: the next toggle, or the up stroke after the last one.
    void toggleDue();
    // The state timer ran out during an up-stroke try: it failed, the next one is prepared.
    void upStrokeTimedOut();

private:
    void begin();
    bool tryUpStroke();
    bool unitAvailable(int unit) const;

    SupervisionActions& actions_;
    Hooks hooks_;
    int toggles_ = 0;
    int attempts_ = 0;
};
