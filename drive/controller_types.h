#pragma once
// The vocabulary the controller shares with its readers: sensor states, mode-switch positions and a
// measured value with its validity.

#include <cstdint>

// States of the position sensors, the oil level sensor, the pressure sensor and the valves.
enum SensorState : int {
    kSensorOpen = 0,
    kSensorActive = 1,
    kSensorInactive = 2,
    kSensorShort = 3,
    kSensorOk = 4,
    kSensorUnknown = 5,
};

// Positions of a pump unit's mode switch.
enum SwitchMode : int {
    kModeManual = 0,
    kModeStop = 1,
    kModeAutomatic = 2,
    kModeFaulty = 3,
    kModeUnknown = 4,
};

// Values of the unit and valve mode settings (pu1Mode ... ev2Mode).
enum UnitMode : int {
    kUnitOn = 0,
    kUnitOff = 1,
    kUnitAuto = 2,
};

struct Measurement {
    bool valid = false;
    float value = 0;
};

// "обрыв", "активен", "неактивен", "КЗ", "OK"; "???" for anything else.
const char* sensorStateText(int state);
// "Ручной режим", "Режим \"Стоп\"", "Автоматический режим", "Переключатель неисправен";
// "Неизвестный режим" for anything else.
const char* modeSwitchText(int mode);
// "руч", "стоп", "авто", "неисправен" (the journal's words); "???" for anything else.
const char* modeSwitchShortText(int mode);
