#pragma once
// The parameter download to a drive ("WriteVFD"): the registers of both drive models, group by group in
// the order they are sent.

#include <cstdint>

class PumpUnit;

// What a row's value is computed from: the unit's settings at the time of the download.
struct DriveParameterInputs {
    float maxFreq;    // Hz
    float accelTime;  // s
    float decelTime;  // s
    bool coasting;    // decelTime is 0.09 s
    bool reverse;     // manualReverseStart is "Вкл."
    float nomCurrent; // A
    bool discrete;    // controlType 0: the discrete lines command the drive
};

enum class ParameterWrite {
    Single,        // function 6, one register
    SingleAsMulti, // function 16, one register
    Double,        // function 16, two registers holding a 32-bit value, high word first
};

struct DriveParameterRow {
    int group; // 1 frequency limits, 2 ramps, 3 direction, 4 motor current, 5 control site
    uint16_t reg;
    ParameterWrite write;
    uint32_t (*value)(const DriveParameterInputs& in);
};

constexpr int kParameterGroups = 5;
constexpr int kDirectionGroup = 3;

// The rows of the first (model 0) or second (model 1) drive model, in order.
const DriveParameterRow* driveParameterRows(int model, int& count);

// The rows of one group to the unit's drive, each one fire-and-forget request; the second model takes
// its direction from its control frame instead.
void writeParameterGroup(PumpUnit& unit, int group);
