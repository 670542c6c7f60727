// The contact manometer ЭКМ (input 14): active for delaySwingProtection seconds it stops the drive
// (alarm 18); inactive as long again, the drive restarts. Shorter pulses change nothing.

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/controller.h"

namespace {

const char kUnit[] = "controller";

uint32_t protectionDelayMs() {
    return static_cast<uint32_t>(gConfig->delaySwingProtection.value * 1000.0f);
}

} // namespace

void Controller::onEcmInput(bool level) {
    // The input is inverted unless ecmInvertion says otherwise.
    bool active = gConfig->ecmInvertion.current != 0 ? level : !level;
    ecmActive_ = active;
    LOG_MSG(LOG_ERR, kUnit, "ЭКМ %sактивен", active ? "" : "не");
    if (active) {
        ecmOffTimer_.cancel();
        if (!ecmOnTimer_.armed())
            ecmOnTimer_.start("ecmOnTimer", protectionDelayMs(), [this] { onEcmOnTimer(); });
        return;
    }
    ecmOnTimer_.cancel();
    if (!ecmOffTimer_.armed())
        ecmOffTimer_.start("ecmOffTimer", protectionDelayMs(), [this] { onEcmOffTimer(); });
}

void Controller::onEcmOnTimer() {
    raiseAlarm(makeAlarm(18));
    if (automatic())
        halt(true);
}

void Controller::onEcmOffTimer() {
    clearAndRestart(18);
}
