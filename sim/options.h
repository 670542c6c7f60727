#pragma once
// Command line of velkord-sim.

#include <string>

struct SimOptions {
    std::string root = "./run";
    // Simulated seconds per real second; 0 runs on the virtual clock as fast as possible.
    double speed = 1.0;
    // Simulated seconds to run before a clean stop; negative: until SIGTERM or SIGINT.
    double forSeconds = -1.0;
    std::string scenario;
    int httpPort = 8080;
    int httpsPort = 8443;
    int modbusPort = 5020;
    // The drive bus "/dev/ttyS2" as a pty instead of the line inside the process on the clock; a
    // program playing the drives can then open its far end.
    bool driveBusPty = false;
    bool help = false;
};

// Parses argv; false with a message when an option is unknown or its value is not valid.
bool parseSimOptions(int argc, char** argv, SimOptions& options, std::string& error);

extern const char kSimUsage[];
