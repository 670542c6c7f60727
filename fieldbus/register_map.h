#pragma once
// The SCADA register map: which setting or measurement each coil, discrete input, input register
// and holding register carries, and how. The tables are in register_map.cpp, row by row; the slave
// (smbus_slave_*.cpp) serves them and docs/modbus-map.md is generated from them.

#include "config/settings_catalogue.h"
#include "fieldbus/drive_status.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

// How a holding register row carries its setting.
enum class RegisterEncoding {
    Text,     // two bytes of a text per register, first byte high; past the end 0
    U16,      // a select's option index (the time zone's too), low 16 bits
    Int,      // a number truncated to an integer, low 16 bits
    X100,     // a number ×100 truncated, low 16 bits
    X100x2,   // a number ×100 truncated to 32 bits: high word, then low word
    Reserved, // reads 0, writes accepted and ignored
};

struct HoldingRegisterRow {
    int first; // protocol address of its first register
    int count; // registers it covers: 128 for a text, 2 for X100x2 and the reserved pair, else 1
    RegisterEncoding encoding;
    SettingPtr (*member)(Config& config); // nullptr for the reserved pair
};

// "Text", "U16", "INT", "X100", "X100x2", "reserved".
const char* registerEncodingName(RegisterEncoding encoding);

// The catalogue row of a setting named by its member accessor, with its group; nulls when none.
struct CatalogueRow {
    const SettingInfo* info = nullptr;
    const SettingGroup* group = nullptr;
};
CatalogueRow catalogueRowOf(SettingPtr (*member)(Config& config));

template <typename Row> struct RowTable {
    const Row* rows;
    size_t count;
    const Row* begin() const { return rows; }
    const Row* end() const { return rows + count; }
};

// Registers 0..362 without a gap, in register order.
RowTable<HoldingRegisterRow> holdingRegisterRows();
constexpr int kHoldingRegisterCount = 363;
// The row covering a register; nullptr beyond the map.
const HoldingRegisterRow* holdingRegisterRow(int reg);

// What input registers and discrete inputs are read from, taken once per request.
struct LiveValues {
    const Config& config;
    const std::string& serialNumber;
    time_t now;
    DriveReadings drive; // all zero without a controller
};

struct InputRegisterRow {
    int first;
    int count;
    const char* content;                                    // for the register map document
    uint16_t (*read)(const LiveValues& values, int offset); // offset: 0 .. count - 1
};

// Registers 0..21 without a gap, in register order.
RowTable<InputRegisterRow> inputRegisterRows();
constexpr int kInputRegisterCount = 22;
uint16_t readInputRegister(const LiveValues& values, int reg);

struct DiscreteInputRow {
    int number;
    const char* content;
    bool (*read)(const DriveReadings& drive);
};

// Inputs 0..5 in order.
RowTable<DiscreteInputRow> discreteInputRows();
constexpr int kDiscreteInputCount = 6;

// The coils are the flags of workControl, coil n being flag n.
ConfigFlagsGroup& coilFlags(Config& config);
