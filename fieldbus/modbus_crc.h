#pragma once
// The Modbus CRC-16: reflected polynomial 0xA001, initial value 0xFFFF, no final XOR.

#include <cstddef>
#include <cstdint>

// Transmitted low byte first after the PDU.
uint16_t modbusCrc16(const uint8_t* data, size_t length);
