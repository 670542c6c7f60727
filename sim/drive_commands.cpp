// Control commands of the simulated drives:
//   drive N state                          "ok model=first address=1 run=1 setpoint=45.50 ..."
//   drive N fault overcurrent|overheat|cold|none
//   drive N clear overcurrent|overheat|cold
//   drive N silent on|off
//   drive N load FRACTION                  0..1
//   drive N written                        the parameter writes, "ok 6:0x0bc1=3 16:0x0bcb=0,0 ..."
//   bus                                    the daemon's drive bus counters, "ok TX=.. TO=.. ..."

#include "core/registry.h"
#include "fieldbus/smbus.h"
#include "sim/sim_session.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Arguments = std::vector<std::string>;

std::string stateOf(SimDrive& drive) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "ok model=%s address=%d run=%d setpoint=%.2f frequency=%.2f current=%.2f temperature=%d "
                  "overcurrent=%d overheat=%d silent=%d reset=%d",
                  simDriveModelName(drive.model()), drive.address(), drive.runCommanded() ? 1 : 0,
                  drive.setPoint(), drive.outputFrequency(), drive.motorCurrent(), drive.temperature(),
                  drive.hasFault(SimDriveFault::OverCurrent) ? 1 : 0,
                  drive.hasFault(SimDriveFault::MotorOverheat) ? 1 : 0, drive.silent() ? 1 : 0,
                  drive.heldInReset() ? 1 : 0);
    return text;
}

std::string writesOf(const SimDrive& drive) {
    std::string text = "ok";
    for (const SimDriveWrite& write : drive.writes()) {
        char head[32];
        std::snprintf(head, sizeof head, " %d:0x%04x=", write.function, write.reg);
        text += head;
        for (size_t i = 0; i < write.values.size(); ++i)
            text += (i ? "," : "") + std::to_string(write.values[i]);
    }
    return text;
}

std::string faultCommand(SimDrive& drive, const Arguments& arguments, bool on) {
    if (arguments.size() != 3)
        return "error usage: drive N fault overcurrent|overheat|cold|none";
    if (on && arguments[2] == "none") {
        drive.clearFaults();
        return "ok";
    }
    SimDriveFault fault;
    if (!parseSimDriveFault(arguments[2], fault))
        return "error unknown fault " + arguments[2];
    drive.setFault(fault, on);
    return "ok";
}

std::string driveCommand(SimDriveBus& drives, const Arguments& arguments) {
    if (arguments.size() < 2)
        return "error usage: drive N state|fault|clear|silent|load|written";
    SimDrive* drive = drives.drive(std::atoi(arguments[0].c_str()));
    if (!drive)
        return "error no drive " + arguments[0];
    const std::string& what = arguments[1];
    if (what == "state")
        return stateOf(*drive);
    if (what == "written")
        return writesOf(*drive);
    if (what == "fault" || what == "clear")
        return faultCommand(*drive, arguments, what == "fault");
    if (what == "silent" && arguments.size() == 3 && (arguments[2] == "on" || arguments[2] == "off")) {
        drive->setSilent(arguments[2] == "on");
        return "ok";
    }
    if (what == "load" && arguments.size() == 3) {
        drive->setLoad(std::strtof(arguments[2].c_str(), nullptr));
        return "ok";
    }
    return "error usage: drive N state|fault|clear|silent|load|written";
}

std::string busCounters() {
    if (!gDriveBus)
        return "error no drive bus";
    std::string text = "ok";
    for (int i = 0; i < kBusCounterCount; ++i) {
        auto counter = static_cast<BusCounter>(i);
        text += std::string(" ") + busCounterName(counter) + "=" +
                std::to_string(gDriveBus->statistics().total(counter));
    }
    return text;
}

} // namespace

void addDriveCommands(ControlServer& control, SimDriveBus& drives) {
    control.addCommand("drive",
                       [&drives](const Arguments& arguments) { return driveCommand(drives, arguments); });
    control.addCommand("bus", [](const Arguments&) { return busCounters(); });
}
