#pragma once
// RTU frames: the PDU (address, function code, data) followed by its CRC-16, low byte first.

#include "fieldbus/bytes.h"

#include <cstddef>
#include <cstdint>

// The frame of a PDU as it goes on the line.
Bytes rtuFrame(const uint8_t* pdu, size_t length);

// The CRC a received frame carries in its last two bytes and the one computed over the bytes before.
struct RtuCrc {
    uint16_t received;
    uint16_t computed;
    bool matches() const { return received == computed; }
};

// For a frame of at least 2 bytes.
RtuCrc rtuCrcOf(const Bytes& frame);
