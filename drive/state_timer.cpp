// The state timer: one handle shared by every state; its expiry acts by the state, and only while
// НУ1's mode switch is in automatic. The drive reset pulse is the exception: it always ends.

#include "core/log.h"
#include "drive/controller.h"

namespace {

const char kUnit[] = "controller";

} // namespace

void Controller::onStateTimer() {
    if (state_ == kResetUnit1 || state_ == kResetUnit2) {
        resetSequence_.pulseEnded(state_ == kResetUnit1 ? 1 : 2);
        return;
    }
    if (state_ == kResetBoth) {
        resetSequence_.bothPulsesEnded();
        return;
    }
    if (!automatic())
        return;
    switch (state_) {
    case kFirstDown:
    case kFirstCycleDown:
    case kDown:
        LOG_MSG(LOG_ERR, kUnit, "условие разворота");
        onBottomReversal();
        return;
    case kOverheatDown:
        overheat_.atBottom();
        return;
    case kOverheatBottom:
        overheat_.startCoolingRun();
        return;
    case kCoolingRun:
        // The cooling run has lasted mainPumpMaxTime: the pumps stop, the cycle waits in state 8.
        halt(false);
        enterState(kCoolingRun);
        return;
    case kOverloadDown:
        rodOverload_.atBottom();
        return;
    case kRecloseWait:
        rodOverload_.restartDue();
        return;
    case kWedgingDown:
        closeBothValves();
        maxDownTimer_.cancel();
        enterState(kWedgingToggle);
        armStateTimer("Wedging", 1000);
        return;
    case kWedgingToggle:
        wedging_.toggleDue();
        return;
    case kWedgingUp:
        wedging_.upStrokeTimedOut();
        return;
    case kCheckUnit1:
    case kCheckUnit2:
        resetSequence_.checkDue(state_ == kCheckUnit1 ? 1 : 2);
        return;
    default:
        // States 0, 2, 4, 9 and 15 have no timer action.
        return;
    }
}
