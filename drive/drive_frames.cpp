#include "drive/drive_frames.h"

#include <cstddef>

namespace {

// Byte positions inside the frames.
constexpr size_t kAddress = 0;
constexpr size_t kFirstDataByte = 7;

uint16_t littleEndianAt(const ControlFrame& frame, size_t at) {
    return static_cast<uint16_t>(frame[at] | frame[at + 1] << 8);
}

void putLittleEndian(ControlFrame& frame, size_t at, uint16_t value) {
    frame[at] = static_cast<uint8_t>(value);
    frame[at + 1] = static_cast<uint8_t>(value >> 8);
}

uint16_t bigEndianAt(const ControlFrame& frame, size_t at) {
    return static_cast<uint16_t>(frame[at] << 8 | frame[at + 1]);
}

void putBigEndian(ControlFrame& frame, size_t at, uint16_t value) {
    frame[at] = static_cast<uint8_t>(value >> 8);
    frame[at + 1] = static_cast<uint8_t>(value);
}

} // namespace

ControlFrame initialFrameA(uint8_t address) {
    ControlFrame frame = {0x01, 0x0F, 0x00, 0x00, 0x00, 0x20, 0x04, 0x2C, 0x04, 0x00, 0x40};
    frame[kAddress] = address;
    return frame;
}

ControlFrame initialFrameB(uint8_t address) {
    ControlFrame frame = {0x01, 0x10, 0x20, 0x00, 0x00, 0x02, 0x04, 0x00, 0x11, 0x00, 0x00};
    frame[kAddress] = address;
    return frame;
}

// Frame A carries its coils least significant bit first: each word low byte first.
uint16_t frameAControlWord(const ControlFrame& frame) {
    return littleEndianAt(frame, kFirstDataByte);
}

void setFrameAControlWord(ControlFrame& frame, uint16_t word) {
    putLittleEndian(frame, kFirstDataByte, word);
}

uint16_t frameAReference(const ControlFrame& frame) {
    return littleEndianAt(frame, kFirstDataByte + 2);
}

void setFrameAReference(ControlFrame& frame, uint16_t reference) {
    putLittleEndian(frame, kFirstDataByte + 2, reference);
}

// Frame B carries registers, high byte first.
uint8_t frameBCommandHigh(const ControlFrame& frame) {
    return frame[kFirstDataByte];
}

uint8_t frameBCommandLow(const ControlFrame& frame) {
    return frame[kFirstDataByte + 1];
}

void setFrameBCommand(ControlFrame& frame, uint8_t high, uint8_t low) {
    frame[kFirstDataByte] = high;
    frame[kFirstDataByte + 1] = low;
}

uint16_t frameBFrequency(const ControlFrame& frame) {
    return bigEndianAt(frame, kFirstDataByte + 2);
}

void setFrameBFrequency(ControlFrame& frame, uint16_t centiHertz) {
    putBigEndian(frame, kFirstDataByte + 2, centiHertz);
}

ReferenceWords encodeReference(float hertz) {
    if (hertz > 100.0f)
        return {10000, kInitialReference};
    if (hertz < 0.0f)
        return {0, 0};
    return {static_cast<uint16_t>(hertz * 100.0f), static_cast<uint16_t>(hertz / 100.0f * 16384.0f)};
}
