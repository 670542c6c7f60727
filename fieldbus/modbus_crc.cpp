#include "fieldbus/modbus_crc.h"

#include <array>

namespace {

constexpr uint16_t kPolynomial = 0xA001;
constexpr uint16_t kInitialValue = 0xFFFF;

// The 256-entry table of the byte-wise CRC, built once at compile time from the polynomial.
constexpr std::array<uint16_t, 256> makeCrcTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        uint16_t crc = static_cast<uint16_t>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc =
                (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ kPolynomial) : static_cast<uint16_t>(crc >> 1);
        table[byte] = crc;
    }
    return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = makeCrcTable();

} // namespace

uint16_t modbusCrc16(const uint8_t* data, size_t length) {
    uint16_t crc = kInitialValue;
    for (size_t i = 0; i < length; ++i)
        crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ data[i]) & 0xFF]);
    return crc;
}
