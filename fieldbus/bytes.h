#pragma once
// A byte string of the field bus: a frame, a PDU or an answer.

#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;
