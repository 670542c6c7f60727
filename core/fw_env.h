#pragma once
// The boot loader's environment: name=value variables (among them the factory serial number "serial#")
// in two redundant flash copies, "/dev/mtd2" and "/dev/mtd3". Every call reads the flash afresh.

#include <cstdint>

// Layout of one copy (little-endian): the CRC-32 of the data area, the generation counter of the copy,
// then the data area of zero-terminated "name=value" entries, ended by an extra zero byte.
constexpr uint32_t kFwEnvSize = 0x20000;
constexpr uint32_t kFwEnvFlagsOffset = 4;
constexpr uint32_t kFwEnvDataOffset = 5;
constexpr uint32_t kFwEnvDataSize = kFwEnvSize - kFwEnvDataOffset;

// The value of the first variable whose name is exactly `name`, or nullptr when the environment cannot
// be read, is empty or has no such variable. It points into the environment image and stays valid
// until the next call.
const char* fw_getenv(const char* name);

// Renames the first variable called oldName and writes the environment to the other copy, which the
// next read then prefers. Returns -1 when the environment cannot be read, is empty, has no such
// variable or has no room; 0 otherwise, also when writing the flash failed (that is only logged).
int fw_renameenv(const char* oldName, const char* newName);
