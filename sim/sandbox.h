#pragma once
// The simulator's sandbox: a directory that stands in for the board's filesystem.

#include <string>

// Creates the sandbox and every stand-in file the daemon needs that is still missing; what exists
// is kept, so settings and the journal survive restarts. False with a reason on failure.
bool prepareSandbox(const std::string& root, std::string& error);

// The simulated 1-wire thermometers: the board's own and the oil sensor.
constexpr const char* kSimBoardThermometer = "10-000801b5a7a1";
constexpr const char* kSimOilThermometer = "10-000802d45e6f";

// A 1-wire thermometer's data file as the kernel shows it, the reading in sixteenths of a degree.
std::string w1SlaveText(double celsius, bool crcGood);

// The two thermometers on the sandbox's 1-wire bus, and the board's one named in /etc/thermSensorId;
// what exists is kept.
bool installSimThermometers(const std::string& root, std::string& error);

// True once the daemon has written its configuration in the sandbox (not a fresh sandbox).
bool sandboxCommissioned(const std::string& root);
