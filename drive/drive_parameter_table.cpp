#include "drive/drive_parameters.h"

namespace {

using In = DriveParameterInputs;
using W = ParameterWrite;

// The first model takes a motor current of 0.01 A steps between 10 (0.1 A) and 1000000 (10000 A).
uint32_t firstModelCurrent(const In& in) {
    if (in.nomCurrent > 10000.0f)
        return 1000000;
    if (in.nomCurrent <= 0.1f)
        return 10;
    return static_cast<uint32_t>(in.nomCurrent * 100.0f);
}

// The second model between 7200 (72 A) and 21600 (216 A).
uint32_t secondModelCurrent(const In& in) {
    if (in.nomCurrent > 216.0f)
        return 21600;
    if (in.nomCurrent <= 72.0f)
        return 7200;
    return static_cast<uint32_t>(in.nomCurrent * 100.0f);
}

const DriveParameterRow kFirstModelRows[] = {
    {1, 0x0BC1, W::Single, [](const In&) -> uint32_t { return 3; }},
    {1, 0x0BCB, W::Double, [](const In&) -> uint32_t { return 0; }},
    {1, 0x0BD5, W::Double, [](const In&) -> uint32_t { return 100000; }},
    {1, 0x105D, W::Single, [](const In& in) { return static_cast<uint32_t>(in.maxFreq * 10.0f + 50.0f); }},
    {1, 0x102B, W::Single, [](const In& in) { return static_cast<uint32_t>(in.maxFreq * 10.0f); }},
    {2, 0x0D51, W::Double, [](const In& in) { return static_cast<uint32_t>(in.accelTime * 100.0f); }},
    {2, 0x0D5B, W::Double, [](const In& in) { return static_cast<uint32_t>(in.decelTime * 100.0f); }},
    {2, 0x0EE1, W::Double, [](const In& in) { return static_cast<uint32_t>(in.decelTime * 100.0f); }},
    {3, 0x0423, W::SingleAsMulti, [](const In& in) -> uint32_t { return in.reverse ? 1 : 0; }},
    {4, 0x04D7, W::Double, firstModelCurrent},
    {5, 0x13FF, W::Single, [](const In&) -> uint32_t { return 0; }},
    {5, 0x1409, W::Single, [](const In&) -> uint32_t { return 1; }},
    {5, 0x1F49, W::Single, [](const In& in) -> uint32_t { return in.discrete ? 1 : 2; }},
    {5, 0x1F5D, W::Double, [](const In& in) -> uint32_t { return in.discrete ? 10 : 5; }},
    {5, 0x1F67, W::Single, [](const In&) -> uint32_t { return 2; }},
};

// The second model has no direction register: the direction travels in its control frame.
const DriveParameterRow kSecondModelRows[] = {
    {1, 0x010A, W::Single, [](const In& in) { return static_cast<uint32_t>(in.maxFreq * 100.0f + 500.0f); }},
    {1, 0x0100, W::Single, [](const In& in) { return static_cast<uint32_t>(in.maxFreq * 100.0f); }},
    {1, 0x0101, W::Single, [](const In&) -> uint32_t { return 5000; }},
    {2, 0x010C, W::Single, [](const In& in) { return static_cast<uint32_t>(in.accelTime * 100.0f); }},
    {2, 0x010E, W::Single, [](const In& in) { return static_cast<uint32_t>(in.accelTime * 100.0f); }},
    {2, 0x010D, W::Single, [](const In& in) { return static_cast<uint32_t>(in.decelTime * 100.0f); }},
    {2, 0x010F, W::Single, [](const In& in) { return static_cast<uint32_t>(in.decelTime * 100.0f); }},
    {2, 0x012C, W::Single, [](const In&) -> uint32_t { return 4; }},
    {2, 0x0016, W::Single, [](const In& in) -> uint32_t { return in.coasting ? 1 : 0; }},
    {4, 0x0501, W::Single, secondModelCurrent},
    {5, 0x0202, W::Single, [](const In&) -> uint32_t { return 5; }},
    {5, 0x0015, W::Single, [](const In& in) -> uint32_t { return in.discrete ? 1 : 2; }},
    {5, 0x0903, W::Single, [](const In& in) -> uint32_t { return in.discrete ? 10 : 5; }},
    {5, 0x0902, W::Single, [](const In&) -> uint32_t { return 2; }},
    {5, 0x0014, W::Single, [](const In&) -> uint32_t { return 1; }},
};

} // namespace

const DriveParameterRow* driveParameterRows(int model, int& count) {
    if (model == 1) {
        count = static_cast<int>(sizeof kSecondModelRows / sizeof kSecondModelRows[0]);
        return kSecondModelRows;
    }
    count = static_cast<int>(sizeof kFirstModelRows / sizeof kFirstModelRows[0]);
    return kFirstModelRows;
}
