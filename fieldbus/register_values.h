#pragma once
// How numbers travel in 16-bit Modbus registers: truncated toward zero, ×100 for hundredths, 32-bit
// values as two registers, high word first.

#include <cstdint>

// v truncated toward zero; NaN reads 0 and values beyond the 32-bit range saturate (a value loaded
// from a hand-edited file is not clamped to its range).
int32_t truncatedToInt(float v);
// v ×100 truncated toward zero, taken from the shortest decimal that reads back as v (the value the
// setting was given), not from its binary approximation: 4.24 gives 424 and 0.7 gives 70, so a written
// hundredth reads back unchanged. Beyond the 32-bit range it saturates.
int32_t hundredths(float v);

inline uint16_t lowWord(int32_t v) {
    return static_cast<uint16_t>(static_cast<uint32_t>(v) & 0xFFFF);
}
inline uint16_t highWord(int32_t v) {
    return static_cast<uint16_t>(static_cast<uint32_t>(v) >> 16);
}
inline int32_t withLowWord(int32_t v, uint16_t low) {
    return static_cast<int32_t>((static_cast<uint32_t>(v) & 0xFFFF0000u) | low);
}
inline int32_t withHighWord(int32_t v, uint16_t high) {
    return static_cast<int32_t>((static_cast<uint32_t>(v) & 0xFFFFu) | static_cast<uint32_t>(high) << 16);
}
