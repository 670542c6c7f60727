#pragma once
// The IEEE 802.3 (zlib) CRC-32: reflected polynomial 0xEDB88320, initial value all ones, final inversion.

#include <cstddef>
#include <cstdint>

uint32_t crc32(const uint8_t* data, size_t length);
