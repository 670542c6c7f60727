// The electro-valves ЭК1 (output 22) and ЭК2 (output 23): energised they let the rod descend.

#include "config/config.h"
#include "core/registry.h"
#include "drive/controller.h"
#include "drive/unit_settings.h"

#include <cmath>

// With both valves selected and delayEV1EV2 set, one valve opens first (ЭК1 for a positive delay,
// ЭК2 for a negative one) and both are open once the delay has passed.
void Controller::openValves() {
    downStartMs_ = now();
    bool first = gConfig->selectedValve1.current == 1;
    bool second = gConfig->selectedValve2.current == 1;
    float delay = gConfig->delayEV1EV2.value;
    if (first && second && delay != 0.0f) {
        ev1ev2Timer_.cancel();
        setValve(delay > 0 ? 1 : 2, true);
        ev1ev2Timer_.start("ev1ev2", static_cast<uint32_t>(std::fabs(delay) * 1000.0f), [this] {
            setValve(1, true);
            setValve(2, true);
        });
        return;
    }
    if (first)
        setValve(1, true);
    if (second)
        setValve(2, true);
}

void Controller::setValve(int valve, bool on) {
    int output = valve == 1 ? kValve1Output : kValve2Output;
    if (outputOn(output) == on)
        return;
    setOutput(output, on);
    if (!on)
        ev1ev2Timer_.cancel();
    valveCheck_.switched(valve);
}

void Controller::closeBothValves() {
    setValve(1, false);
    setValve(2, false);
}

bool Controller::anyValveSelected() const {
    return gConfig->selectedValve1.current == 1 || gConfig->selectedValve2.current == 1;
}

bool Controller::valveOn(int valve) const {
    return outputOn(valve == 1 ? kValve1Output : kValve2Output);
}
