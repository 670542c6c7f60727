#pragma once
// The contact manometer ЭКМ (input 14): active for delaySwingProtection seconds it reports the
// pressure held too high (the drive stops, alarm 18); inactive as long again, the pressure normal
// again (the drive restarts). Shorter pulses change nothing. ecmInvertion says which level is active.

#include "core/timer_queue.h"

#include <functional>

class ContactManometer {
public:
    ContactManometer(std::function<void()> onHeldHigh, std::function<void()> onNormalAgain)
        : onHeldHigh_(std::move(onHeldHigh)), onNormalAgain_(std::move(onNormalAgain)) {}

    // A change of the input's level.
    void onInput(bool level);
    bool active() const { return active_; }

private:
    std::function<void()> onHeldHigh_;
    std::function<void()> onNormalAgain_;
    bool active_ = false;
    Timer onTimer_;
    Timer offTimer_;
};
