// The reset lines of the two drives, GPIO value files held open for the run: "255\n" raises a line,
// "0\n" lowers it.

#include "drive/controller.h"

#include "core/log.h"

#include <cstring>

namespace {

const char kUnit[] = "controller";

const char* const kResetLinePaths[] = {"/sys/class/gpio/pioA16/value", "/sys/class/gpio/pioA17/value"};

} // namespace

void Controller::openResetLines() {
    for (size_t i = 0; i < resetLines_.size(); ++i) {
        int error = resetLines_[i].open(kResetLinePaths[i]);
        // The controller goes on without that line; its writes then do nothing.
        if (error != 0)
            LOG_MSG(LOG_ERR, kUnit, "cannot open %s: %s", kResetLinePaths[i], strerror(error));
    }
}

void Controller::writeResetLine(int n, bool raised) {
    resetLines_[index(n)].write(raised ? "255\n" : "0\n");
    // The drive's alarm state is cleared with the reset; it is read afresh afterwards.
    if (raised)
        unit(n).forgetAlarmWords();
}

void Controller::resetDrives() {
    writeResetLine(1, true);
    writeResetLine(2, true);
    resetDrivesTimer_.start("resetVFD", kResetPulseMs, [this] {
        writeResetLine(1, false);
        writeResetLine(2, false);
    });
}
