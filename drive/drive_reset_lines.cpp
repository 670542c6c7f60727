#include "drive/drive_reset_lines.h"

#include "core/log.h"

#include <cstring>

namespace {

const char kUnit[] = "controller";

const char* const kResetLinePaths[] = {"/sys/class/gpio/pioA16/value", "/sys/class/gpio/pioA17/value"};

} // namespace

void DriveResetLines::open() {
    for (size_t i = 0; i < lines_.size(); ++i) {
        int error = lines_[i].open(kResetLinePaths[i]);
        if (error != 0)
            LOG_MSG(LOG_ERR, kUnit, "cannot open %s: %s", kResetLinePaths[i], strerror(error));
    }
}

void DriveResetLines::write(int unit, bool raised) {
    lines_[unit == 2 ? 1 : 0].write(raised ? "255\n" : "0\n");
    if (raised)
        raised_(unit);
}

void DriveResetLines::pulseBoth() {
    write(1, true);
    write(2, true);
    pulse_.start("resetVFD", kPulseMs, [this] {
        write(1, false);
        write(2, false);
    });
}
