#include "fieldbus/rtu_framing.h"

#include "fieldbus/modbus_crc.h"

Bytes rtuFrame(const uint8_t* pdu, size_t length) {
    Bytes frame(pdu, pdu + length);
    uint16_t crc = modbusCrc16(pdu, length);
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return frame;
}

RtuCrc rtuCrcOf(const Bytes& frame) {
    size_t body = frame.size() - 2;
    uint16_t received = static_cast<uint16_t>(frame[body] | (frame[body + 1] << 8));
    return RtuCrc{received, modbusCrc16(frame.data(), body)};
}
