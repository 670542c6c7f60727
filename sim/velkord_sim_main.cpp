// velkord-sim: the daemon, started through the same start-up code, on a simulated board.

#include "sim/options.h"
#include "sim/simulation.h"

#include <cstdio>

int main(int argc, char** argv) {
    SimOptions options;
    std::string error;
    if (!parseSimOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "velkord-sim: %s\n%s", error.c_str(), kSimUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kSimUsage, stdout);
        return 0;
    }
    return runSimulation(options);
}
