#pragma once
// The drive's alarms: a record as it is raised, and the catalogue of codes 0-40 with their texts and
// the status bytes the discrete outputs show for them.

#include <cstdint>
#include <string>

struct AlarmRecord {
    int32_t code = -1;
    std::string text;
    uint8_t automatic = 0; // status output 25
    uint8_t alarm = 0;     // status output 26
    uint8_t stopped = 0;   // status output 27
    uint8_t remote = 0;    // the chain's status flag
};

// One row of the catalogue. Texts with a variable part are printf formats ("21.3 Перегрев двигателя
// НУ%d"); the callers that raise them fill the variable part in.
struct AlarmCatalogueEntry {
    int32_t code;
    const char* text;
    uint8_t automatic;
    uint8_t alarm;
    uint8_t stopped;
    uint8_t remote;
};

constexpr int32_t kAlarmCodes = 41;

// The row of a code 0-40, or nullptr.
const AlarmCatalogueEntry* alarmCatalogueEntry(int32_t code);
// The record of a code with its catalogue text, or with the given text.
AlarmRecord makeAlarm(int32_t code);
AlarmRecord makeAlarm(int32_t code, std::string text);
// The catalogue text of a code with its variable part filled in from the arguments.
std::string alarmText(int32_t code, ...);
// Whether the catalogue marks the code as one that stops the drive (status byte "stopped").
bool alarmStopsTheDrive(int32_t code);
