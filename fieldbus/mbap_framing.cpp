#include "fieldbus/mbap_framing.h"

MbapScan scanMbapFrame(const uint8_t* data, size_t size) {
    if (size < kMbapHeaderBytes)
        return {MbapScan::kIncomplete, 0, 0};
    auto length = static_cast<uint16_t>(data[4] << 8 | data[5]);
    if (length < kMinMbapLength || length > kMaxMbapLength)
        return {MbapScan::kMalformed, 0, length};
    size_t frameBytes = kMbapHeaderBytes + length;
    if (size < frameBytes)
        return {MbapScan::kIncomplete, frameBytes, length};
    return {MbapScan::kFrame, frameBytes, length};
}

void appendMbapResponse(const uint8_t* requestFrame, const Bytes& response, Bytes& out) {
    out.insert(out.end(), requestFrame, requestFrame + 4);
    out.push_back(static_cast<uint8_t>(response.size() >> 8));
    out.push_back(static_cast<uint8_t>(response.size() & 0xFF));
    out.insert(out.end(), response.begin(), response.end());
}
