#pragma once
// What the master's tests share: the outcomes its callback records, and a read request with its answer.

#include "fieldbus/bytes.h"
#include "fieldbus/rtu_framing.h"

#include <utility>
#include <vector>

struct Outcomes {
    static void record(int status, const Bytes& answer, void* context) {
        static_cast<Outcomes*>(context)->results.emplace_back(status, answer);
    }
    std::vector<std::pair<int, Bytes>> results;
};

inline Bytes withCrc(const Bytes& pdu) {
    return rtuFrame(pdu.data(), pdu.size());
}

// Read two holding registers of drive 1, and its answer 0x0001, 0x000A.
const Bytes kReadTwo = {0x01, 0x03, 0x00, 0x00, 0x00, 0x02};
const Bytes kReadTwoAnswer = {0x01, 0x03, 0x04, 0x00, 0x01, 0x00, 0x0A};
