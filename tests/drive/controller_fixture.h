#pragma once
// A test rig for the controller: the configuration in a sandbox, the drive bus on its pty with both
// simulated drives at the far end, the discrete I/O chain fed by RigInputs, the display and the root
// menu, all on the virtual clock and built by the daemon's own start-up steps (without the SCADA
// slaves). Settings are made before start() (unjournalled) or through their setters afterwards.

#include "config/config.h"
#include "core/epoller.h"
#include "core/journal.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "daemon/daemon_objects.h"
#include "drive/alarm_list.h"
#include "drive/controller.h"
#include "drive/discrete_io.h"
#include "fieldbus/smbus.h"
#include "sim/sim_drive_bus.h"
#include "tests/drive/rig_inputs.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"
#include "ui/alarm_list_page.h"
#include "ui/display.h"
#include "ui/dynamogram_plots.h"
#include "ui/menu_set.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

class ControllerFixture : public ::testing::Test {
protected:
    // Counts of the converter: 4 mA on the pressure loop (P = 1.0), and analogue positions.
    static constexpr int kFourMilliamps = 721;
    static constexpr int kAnalogueActive = 300;
    static constexpr int kAnalogueInactive = 2000;

    ControllerFixture();
    ~ControllerFixture() override;

    // Creates the drive bus, the drives, the controller and the chain, and lets the first exchange pass.
    void start();
    // Virtual time in the daemon's loop.
    void run(uint32_t ms) { runLoopFor(board, ms); }
    // Runs until the predicate holds, at most limitMs of virtual time; false when it never did.
    bool runUntil(const std::function<bool()>& predicate, uint32_t limitMs);

    // Inputs (applied at the next exchanges; run 30 ms for them to be accepted).
    void setInput(int n, bool level) { rig->set(n, level); }
    void setModeSwitch(int unit, int mode);
    void setTopSensor(int unit, int state);
    void setBottomSensor(int unit, int state);
    // The rod of НУ1 leaves one end and reaches the other, one sensor after the other.
    void rodReachesTop();
    void rodReachesBottom();
    void rodLeavesBottom() {
        setBottomSensor(1, kSensorInactive);
        settle();
    }
    // A healthy rig in the mode, then start().
    void startIn(int mode, bool atBottom = true) {
        healthyRig(mode, atBottom);
        start();
    }
    // Everything healthy, НУ1 in the given mode, the rod at the bottom or not.
    void healthyRig(int mode, bool atBottom);
    void settle() { run(30); }

    bool output(int n) const { return gDiscreteIO->isOutputOn(n); }
    bool valve(int n) const { return output(n == 1 ? Controller::kValve1Output : Controller::kValve2Output); }
    int state() const { return controller->view().strokeState(); }
    SimDrive& drive(int n) { return *drives->drive(n); }
    PumpUnit& unit(int n) { return controller->unit(n); }
    // Journal entries without their stamps.
    std::vector<std::string> journal();
    bool journalHas(const std::string& entry);
    std::string file(const std::string& boardPath) { return readFile(board.path(boardPath)); }

    TestBoard board;
    TimerQueue timers;
    DaemonObjects objects;
    // The daemon's objects as the tests name them (null until start()).
    Config* config = nullptr;
    Display* display = nullptr;
    MenuSet* rootMenu = nullptr;
    SMBus* bus = nullptr;
    Controller* controller = nullptr;
    AlarmListPage* alarmPage = nullptr;
    DynamogramPlots* plots = nullptr;
    DiscreteIO* io = nullptr;
    std::unique_ptr<SimDriveBus> drives;
    std::unique_ptr<RigInputs> rig;
};
