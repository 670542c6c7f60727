#pragma once
// Modbus TCP frames: the MBAP header (transaction id, protocol id, length, all big-endian) and the
// unit identifier followed by the PDU.

#include "fieldbus/bytes.h"

#include <cstddef>
#include <cstdint>

constexpr size_t kMbapHeaderBytes = 6;
// The length field counts the unit identifier and the PDU: at least a function code, and at most the
// longest request the register map serves, function 16 with 127 registers (261; the 254 of standard
// Modbus would refuse the writes of 124 to 127 registers that the serial line accepts).
constexpr uint16_t kMinMbapLength = 2;
constexpr uint16_t kMaxMbapLength = 7 + 2 * 127; // unit, function, start, quantity, byte count, data
constexpr size_t kMaxMbapFrame = kMbapHeaderBytes + kMaxMbapLength;

struct MbapScan {
    enum Kind {
        kIncomplete, // wait for more bytes
        kFrame,      // a whole frame of `frameBytes` starts the buffer
        kMalformed,  // the length field `length` cannot be a Modbus request
    };
    Kind kind;
    size_t frameBytes;
    uint16_t length;
};

// Looks at the frame at the start of the received bytes.
MbapScan scanMbapFrame(const uint8_t* data, size_t size);

// Appends the response to a request frame: its transaction and protocol ids, the response's length,
// then the response (unit identifier first).
void appendMbapResponse(const uint8_t* requestFrame, const Bytes& response, Bytes& out);
