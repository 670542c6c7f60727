#include "drive/contact_manometer.h"

#include "config/config.h"
#include "core/log.h"

namespace {

const char kUnit[] = "controller";

uint32_t protectionDelayMs() {
    return static_cast<uint32_t>(gConfig->delaySwingProtection.value * 1000.0f);
}

} // namespace

void ContactManometer::onInput(bool level) {
    // The input is inverted unless ecmInvertion says otherwise.
    bool active = gConfig->ecmInvertion.current != 0 ? level : !level;
    active_ = active;
    LOG_MSG(LOG_ERR, kUnit, "ЭКМ %sактивен", active ? "" : "не");
    if (active) {
        offTimer_.cancel();
        if (!onTimer_.armed())
            onTimer_.start("ecmOnTimer", protectionDelayMs(), [this] { onHeldHigh_(); });
        return;
    }
    onTimer_.cancel();
    if (!offTimer_.armed())
        offTimer_.start("ecmOffTimer", protectionDelayMs(), [this] { onNormalAgain_(); });
}
