#pragma once
// The daemon's life: start-up in its fixed order, the main loop, shutdown in the reverse order.

#include "platform/platform.h"

// Runs the daemon on the given platform until SIGTERM/SIGINT (or a set quit flag). Returns the exit
// status: 0 after an orderly shutdown, 1 when the GPIO lines cannot be set up.
int runDaemon(platform::Platform& platform);
