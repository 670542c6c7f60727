#pragma once
// The control frames the pump units send their drives between the polls: frame A (write multiple
// coils: control word and reference) for the first drive model, frame B (write multiple registers:
// command and frequency) for the second, and the encoding of a set-point into both.

#include <array>
#include <cstdint>

using ControlFrame = std::array<uint8_t, 11>;

// Control words of frame A.
constexpr uint16_t kControlWordRun = 0x047C;
constexpr uint16_t kControlWordFastStop = 0x042C;
constexpr uint16_t kControlWordCoastStop = 0x0434; // normal stop when the drive coasts (0.09 s)
constexpr uint16_t kControlWordRampStop = 0x043C;  // normal stop on the deceleration ramp
constexpr uint16_t kInitialReference = 0x4000;

// Frame B command: the low byte's bits 4-5 hold the direction, the rest the action.
constexpr uint8_t kCommandDirectionBits = 0x30;
constexpr uint8_t kCommandForward = 0x10;
constexpr uint8_t kCommandReverse = 0x20;
constexpr uint8_t kCommandRun = 0x02;
constexpr uint8_t kCommandStop = 0x01;
constexpr uint8_t kCommandFastStop = 0x41;
constexpr uint8_t kCommandStopHigh = 0x10;

// 01 0F 00 00 00 20 04 2C 04 00 40 with the address in front.
ControlFrame initialFrameA(uint8_t address);
// 01 10 20 00 00 02 04 00 11 00 00 with the address in front.
ControlFrame initialFrameB(uint8_t address);

uint16_t frameAControlWord(const ControlFrame& frame);
void setFrameAControlWord(ControlFrame& frame, uint16_t word);
uint16_t frameAReference(const ControlFrame& frame);
void setFrameAReference(ControlFrame& frame, uint16_t reference);

uint8_t frameBCommandHigh(const ControlFrame& frame);
uint8_t frameBCommandLow(const ControlFrame& frame);
void setFrameBCommand(ControlFrame& frame, uint8_t high, uint8_t low);
uint16_t frameBFrequency(const ControlFrame& frame);
void setFrameBFrequency(ControlFrame& frame, uint16_t centiHertz);

// A set-point F in Hz as the frames carry it: the frequency word F x 100 and the reference
// F / 100 x 16384 (16384 = 100 Hz), both truncated; above 100 Hz 10000 and 0x4000, below 0 both 0.
struct ReferenceWords {
    uint16_t frequency;
    uint16_t reference;
};
ReferenceWords encodeReference(float hertz);
