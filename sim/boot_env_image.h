#pragma once
// A boot environment copy as the boot loader writes it, for the sandbox's flash partitions and tests.

#include <cstdint>
#include <string>
#include <vector>

// The simulated board's factory serial number.
extern const char kSimSerialNumber[];

// One whole copy (kFwEnvSize bytes): CRC-32, generation, the "name=value" entries, the closing zero.
std::string makeBootEnvironment(const std::vector<std::string>& entries, uint8_t generation);
