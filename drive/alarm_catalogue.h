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

// The codes by name, in the catalogue's order.
enum AlarmCode : int32_t {
    kAlarmRemoteStartWait = 0,        // "3. Ожидание удаленного запуска"
    kAlarmLowOil = 1,                 // "13. Низкий уровень масла"
    kAlarmOilLevelSensorBreak = 2,    // "14.1 Обрыв датчика уровня масла"
    kAlarmTopSensorShortStop = 3,     // "5. Остановка по КЗ верхнего датчика"
    kAlarmTopSensorBreakStop = 4,     // "6.1 Остановка по обрыву верхнего дат."
    kAlarmTopSensorTimeout = 5,       // "9.1 Превышение времени сраб. сост. ДВ"
    kAlarmBottomSensorBreakStop = 6,  // "9.1 Остановка по обрыву нижнего дат."
    kAlarmUpStrokeTooLong = 7,        // "19. Превышение времени хода вверх"
    kAlarmSimultaneousSensors = 8,    // "11.1 Одновременное срабатывание дат."
    kAlarmBottomSensorTimeout = 9,    // "10.1 Превышение времени сраб. сост. ДН"
    kAlarmBottomSensorShortStop = 10, // "8.1. Остановка по КЗ нижнего датчика"
    kAlarmDriveColdStop = 11,         // "26.2 Ост. по низк. темп. ЧРП НУ%s"
    kAlarmValveFaultStop = 12,        // "27.3 Остановка: %s"
    kAlarmOverCurrentStop = 13, // "20.3 Останвока. Перегрузка по току ЧРП НУ%s"
    kAlarmOilLevelSensorFault = 14,  // "14.3 Неисправность дат. уровня масла"
    kAlarmMotorOverheatStop = 15,    // "21.3 Перегрев двигателя НУ%d"
    kAlarmOverCurrentReclose = 16,   // "20.2 Перегруз по току ЧРП НУ%s. АПВ №%s"
    kAlarmOilOverheat = 17,          // "22. Перегр. масла. Прив. будет зап. авт."
    kAlarmContactManometerStop = 18, // "4. Остановка по ЭКМ"
    kAlarmRodOverloadRestart = 19, // "16.1 Превыш. нагр. на штоке. Авт. перез. прив. №%d"
    kAlarmRodOverload = 20,                // "16.2 Превышение нагр. на штоке"
    kAlarmTemperatureSensorError = 21,     // "23. Ошибка датчика температуры"
    kAlarmPressureSensorFault = 22,        // "15. Неисправность датчика давления"
    kAlarmMotorOverheat = 23,              // "21.1 Перегрев двигателя НУ%d"
    kAlarmSimultaneousSensorsIgnored = 24, // "11.2 Игнорирование одновр. сраб. дат."
    kAlarmLowRodLoad = 25,                 // "18. Низкая нагрузка на штоке"
    kAlarmStrokeShortenedByRate = 26, // "17.1 Снижение длины хода по числу качаний"
    kAlarmStrokeShortenedByDownTime = 27, // "17.2 Снижение длины хода по времени хода вниз"
    kAlarmBottomSensorTimeoutIgnored = 28, // "10.2 Игнор. превыш. врем. сраб. сост. ДН"
    kAlarmBottomSensorShortIgnored = 29, // "8.2. Игнорирование КЗ нижнего датчика"
    kAlarmBottomSensorBreakIgnored = 30, // "9.3 Игнорирование обрыва нижнего дат."
    kAlarmOilLevelCheckOff = 31,         // "14.2 Отключен контроль датчика УМ"
    kAlarmTopSensorBreakCheckOff = 32,   // "6.2 Отключен контроль обрыва ДВ"
    kAlarmBottomSensorBreakCheckOff = 33, // "9.2 Отключен контроль обрыва ДН"
    kAlarmValveBreak = 34,                // "27.1 Обрыв ЭК%d"
    kAlarmValveFaultIgnored = 35,         // "27.4 Игнорирование %s"
    kAlarmEmergencyTemperatureMode = 36,  // "25. Аварийный темпер. режим работы"
    kAlarmDriveCold = 37,                 // "26.1 Низкая температура ЧРП НУ%d"
    kAlarmCoolingFault = 38, // "24. Неисправность системы охлаждения"
    kAlarmDriveWords = 39,   // "1."
    kAlarmOverCurrent = 40,  // "20.1 Перегруз по току ЧРП НУ%d"
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
