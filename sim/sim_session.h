#pragma once
// What the simulator adds to a running daemon: the control socket and its commands, and later the
// plant. Created once every daemon object exists; destroyed before any of them goes.

#include "platform/sim_platform.h"
#include "sim/control_server.h"
#include "sim/panel_keys.h"

#include <string>

class SimSession {
public:
    explicit SimSession(platform::SimPlatform& board);
    // Hands the board's inputs back to the fixed ones.
    ~SimSession();

    // Opens the control socket "/sim.sock" of the sandbox; a failure is only reported.
    void start();
    ControlServer& control() { return control_; }

private:
    void addCommands();

    platform::SimPlatform& board_;
    ControlServer control_;
    PanelKeys keys_;
};
