#pragma once
// One run of the simulated well: the sandbox prepared, the daemon started through the same start-up
// code as on the board, the simulator's session attached, and the daemon stopped after the options'
// time or on SIGTERM/SIGINT. velkord-sim, the benchmark and the scenario tests all run it.

#include "sim/options.h"
#include "sim/sim_session.h"

#include <functional>

struct SimulationHooks {
    // Once the session exists and its scenario started.
    std::function<void(SimSession&)> started;
    // Right before the session goes, with every daemon object still there.
    std::function<void(SimSession&)> stopping;
};

// The exit status: the daemon's, or 2 when the scenario cannot be loaded or uses unknown commands,
// or 1 when the sandbox cannot be prepared. Errors are reported on standard error.
int runSimulation(const SimOptions& options, const SimulationHooks& hooks = SimulationHooks());
