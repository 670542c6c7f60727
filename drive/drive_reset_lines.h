#pragma once
// The reset lines of the two drives, GPIO value files held open for the run: "255\n" raises a line,
// "0\n" lowers it. A raised line clears the drive's alarm state, so its owner forgets the alarm words
// it read before.

#include "core/sysfs_file.h"
#include "core/timer_queue.h"

#include <array>
#include <cstdint>
#include <functional>

class DriveResetLines {
public:
    static constexpr uint32_t kPulseMs = 150;

    // `raised` is told of every line raised, with its unit (1 or 2).
    explicit DriveResetLines(std::function<void(int unit)> raised) : raised_(std::move(raised)) {}

    // Opens both lines; a line that cannot be opened is logged and its writes do nothing.
    void open();
    void write(int unit, bool raised);
    // Both lines raised for 150 ms (key resetVFD).
    void pulseBoth();

private:
    std::function<void(int)> raised_;
    std::array<SysfsValueFile, 2> lines_;
    Timer pulse_;
};
