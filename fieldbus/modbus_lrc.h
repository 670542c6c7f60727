#pragma once
// The Modbus ASCII LRC: the two's complement of the 8-bit sum of the bytes (0 for none).

#include <cstddef>
#include <cstdint>

uint8_t modbusLrc(const uint8_t* data, size_t length);
