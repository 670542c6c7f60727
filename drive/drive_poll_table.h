#pragma once
// The continuous poll of a drive: the read steps of each drive model. Odd steps in between send the
// unit's control frame.

#include <cstdint>

// What a read's answer is used for.
enum class PollUse {
    AlarmWord,           // first model: alarm word (32 bits)
    Frequency,           // first model: value / 10 Hz
    Current,             // first model: 32 bits / 100 A
    Turning,             // first model: turning word (32 bits)
    Power,               // first model: 32 bits into the power sum
    Temperature,         // both models: drive temperature, the first model in the low byte
    AlarmWord2,          // first model: alarm word 2 (32 bits)
    WarningWord,         // first model: warning word (32 bits)
    WarningWord2,        // first model: warning word 2 (32 bits)
    FrequencyAndCurrent, // second model: frequency / 100 Hz and current / 100 A
    PowerAndTurning,     // second model: power x 1000 into the sum and the status word
    ErrorCode,           // second model: the error code
};

struct DrivePollStep {
    int step;
    uint16_t reg;
    uint16_t count;
    PollUse use;
};

constexpr DrivePollStep kFirstModelPolls[] = {
    {0, 0x4203, 2, PollUse::AlarmWord},     {2, 0x3F01, 1, PollUse::Frequency},
    {4, 0x3F0B, 2, PollUse::Current},       {6, 0x3F29, 2, PollUse::Turning},
    {8, 0x3EE3, 2, PollUse::Power},         {10, 0x4005, 1, PollUse::Temperature},
    {12, 0x420D, 2, PollUse::AlarmWord2},   {14, 0x4217, 2, PollUse::WarningWord},
    {16, 0x4221, 2, PollUse::WarningWord2},
};

constexpr DrivePollStep kSecondModelPolls[] = {
    {100, 0x2103, 2, PollUse::FrequencyAndCurrent},
    {102, 0x2206, 2, PollUse::PowerAndTurning},
    {104, 0x2100, 1, PollUse::ErrorCode},
    {106, 0x220F, 1, PollUse::Temperature},
};

// Step ranges: the first model runs 0..17, the second 100..107; each wraps to its first step.
constexpr int kFirstModelFirstStep = 0;
constexpr int kFirstModelEndStep = 18;
constexpr int kSecondModelFirstStep = 100;
constexpr int kSecondModelEndStep = 108;

// The read of an even step, or nullptr for a control-frame step.
const DrivePollStep* drivePollStep(int step);
