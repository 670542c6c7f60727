#include "fieldbus/register_map.h"

#include "config/config.h"
#include "fieldbus/register_values.h"

#include <algorithm>

namespace {

template <auto Member> constexpr SettingPtr (*setting)(Config&) = &settingMember<Member>;

constexpr HoldingRegisterRow text(int first, SettingPtr (*member)(Config&)) {
    return {first, 128, RegisterEncoding::Text, member};
}
constexpr HoldingRegisterRow u16(int reg, SettingPtr (*member)(Config&)) {
    return {reg, 1, RegisterEncoding::U16, member};
}
constexpr HoldingRegisterRow integer(int reg, SettingPtr (*member)(Config&)) {
    return {reg, 1, RegisterEncoding::Int, member};
}
constexpr HoldingRegisterRow x100(int reg, SettingPtr (*member)(Config&)) {
    return {reg, 1, RegisterEncoding::X100, member};
}
constexpr HoldingRegisterRow x100x2(int first, SettingPtr (*member)(Config&)) {
    return {first, 2, RegisterEncoding::X100x2, member};
}
constexpr HoldingRegisterRow reserved(int first, int count) {
    return {first, count, RegisterEncoding::Reserved, nullptr};
}

// clang-format off
const HoldingRegisterRow kHoldingRegisters[] = {
    text(0, setting<&Config::wellName>),                      // 0-127
    text(128, setting<&Config::wellComment>),                 // 128-255
    integer(256, setting<&Config::modbusAddress>),
    u16(257, setting<&Config::stopDrive>),
    u16(258, setting<&Config::nsMode>),                       // "Режим задания числа качаний"
    x100(259, setting<&Config::nSwings>),
    x100(260, setting<&Config::nsMin>),
    x100(261, setting<&Config::nsMax>),
    x100(262, setting<&Config::kNapol>),
    u16(263, setting<&Config::lineBase>),
    x100(264, setting<&Config::lineShift>),
    u16(265, setting<&Config::intersectionMode>),
    x100x2(266, setting<&Config::nsCorrectionInterval>),      // 266-267
    x100(268, setting<&Config::downTimeMax>),
    x100(269, setting<&Config::upTimeMax>),
    x100x2(270, setting<&Config::gMax>),                      // 270-271
    x100x2(272, setting<&Config::gMin>),                      // 272-273
    u16(274, setting<&Config::longDownTurn>),
    u16(275, setting<&Config::longDownAsMalfunction>),
    integer(276, setting<&Config::numARA>),
    x100(277, setting<&Config::araDelay>),
    integer(278, setting<&Config::araReset>),
    x100(279, setting<&Config::tempCondOff>),
    x100(280, setting<&Config::tempCondOn>),
    x100(281, setting<&Config::tempFanOff>),
    x100(282, setting<&Config::tempFanOn>),
    x100(283, setting<&Config::tempStartWork>),
    x100(284, setting<&Config::tempStopWork>),
    u16(285, setting<&Config::coolingPump>),
    x100(286, setting<&Config::mainPumpFreq>),
    x100(287, setting<&Config::mainPumpMaxTime>),
    u16(288, setting<&Config::pu1Mode>),
    u16(289, setting<&Config::pu2Mode>),
    u16(290, setting<&Config::prioPu1Pu2>),
    u16(291, setting<&Config::ev1Mode>),
    u16(292, setting<&Config::ev2Mode>),
    u16(293, setting<&Config::prioEv1Ev2>),
    u16(294, setting<&Config::canSepStart>),
    x100(295, setting<&Config::delayTDP>),
    x100(296, setting<&Config::delayBDP>),
    x100(297, setting<&Config::delayEV1EV2>),
    u16(298, setting<&Config::perfIncMode>),
    x100(299, setting<&Config::posSensorMaxTime>),            // "Макс. время сраб. датчика положения"
    x100(300, setting<&Config::downTimeOnBrokenSensor>),      // "Время хода вниз при неиспр. ДН"
    u16(301, setting<&Config::timeZone>),                     // "Часовой пояс"
    x100x2(302, setting<&Config::sensorResetDuration>),       // 302-303
    x100x2(304, setting<&Config::sensorResetPeriod>),         // 304-305
    u16(306, setting<&Config::sensorResetOnLowOil>),
    u16(307, setting<&Config::wedgingEV>),
    u16(308, setting<&Config::workWithBrokenEV>),
    x100(309, setting<&Config::nsAlarmTempMode>),
    x100(310, setting<&Config::minFreqDrive1>),
    x100(311, setting<&Config::minFreqDrive2>),
    x100(312, setting<&Config::maxFreqDrive1>),
    x100(313, setting<&Config::maxFreqDrive2>),
    reserved(314, 2),                                         // 314-315
    x100(316, setting<&Config::nomCurrentDrive1>),
    x100(317, setting<&Config::nomCurrentDrive2>),
    x100(318, setting<&Config::accelTimeDrive1>),
    x100(319, setting<&Config::accelTimeDrive2>),
    x100(320, setting<&Config::decelTimeDrive1>),
    x100(321, setting<&Config::decelTimeDrive2>),
    integer(322, setting<&Config::modbusAddrDrive1>),
    integer(323, setting<&Config::modbusAddrDrive2>),
    u16(324, setting<&Config::typeDrive1>),                   // "Тип ЧРП 1"
    u16(325, setting<&Config::typeDrive2>),                   // "Тип ЧРП 2"
    u16(326, setting<&Config::controlTypeDrive1>),
    u16(327, setting<&Config::controlTypeDrive2>),
    x100(328, setting<&Config::minFreqSync>),
    u16(329, setting<&Config::lowerFreqOnOverload>),
    x100(330, setting<&Config::lowerFreqStep>),
    x100(331, setting<&Config::pu2pu1FreqRatio>),
    x100x2(332, setting<&Config::recordPeriod>),              // 332-333
    x100(334, setting<&Config::cylinderArea>),
    x100(335, setting<&Config::strokeLength>),
    x100x2(336, setting<&Config::timeIntAutoCopy>),           // 336-337
    u16(338, setting<&Config::logLevel>),
    u16(339, setting<&Config::copyConfirmation>),
    u16(340, setting<&Config::modbusSpeed>),
    u16(341, setting<&Config::ecmInvertion>),
    x100(342, setting<&Config::delaySwingProtection>),
    u16(343, setting<&Config::oilSensorConnection>),
    u16(344, setting<&Config::oilSensorInvertion>),
    u16(345, setting<&Config::magSensorConnection>),
    u16(346, setting<&Config::topSensorType>),
    u16(347, setting<&Config::botSensorType>),
    u16(348, setting<&Config::topSensorInversion>),
    u16(349, setting<&Config::botSensorInversion>),
    u16(350, setting<&Config::ev1Inversion>),
    u16(351, setting<&Config::ev2Inversion>),
    x100(352, setting<&Config::pressSensorMalfuncAutodetect>),
    u16(353, setting<&Config::manualNoLimits>),               // "Работа без ограничений"
    x100(354, setting<&Config::manualFreqDrive1>),
    x100(355, setting<&Config::manualFreqDrive2>),
    x100(356, setting<&Config::absLineX>),
    u16(357, setting<&Config::nsCorrMode>),
    u16(358, setting<&Config::dynoRecordInPause>),
    x100(359, setting<&Config::pressureSmoothing>),
    u16(360, setting<&Config::dynoType>),
    x100(361, setting<&Config::oilSensorDelay>),
    u16(362, setting<&Config::manualReverseStart>),           // "Разовый реверсный пуск"
};
// clang-format on

// Two characters of the serial number per register, the first in the high byte.
uint16_t serialNumberPair(const LiveValues& values, int offset) {
    const std::string& serial = values.serialNumber;
    size_t position = 2 * static_cast<size_t>(offset);
    uint8_t high = position < serial.size() ? static_cast<uint8_t>(serial[position]) : 0;
    uint8_t low = position + 1 < serial.size() ? static_cast<uint8_t>(serial[position + 1]) : 0;
    return static_cast<uint16_t>(high << 8 | low);
}

template <auto Member> uint16_t optionIndex(const LiveValues& values, int) {
    return lowWord((values.config.*Member).current);
}
template <auto Member> uint16_t settingHundredths(const LiveValues& values, int) {
    return lowWord(hundredths((values.config.*Member).value));
}
uint16_t zero(const LiveValues&, int) {
    return 0;
}
uint16_t systemTime(const LiveValues& values, int offset) {
    // The low 32 bits of the seconds count (it wraps in 2106).
    auto seconds = static_cast<int32_t>(static_cast<uint32_t>(values.now));
    return offset == 0 ? highWord(seconds) : lowWord(seconds);
}
uint16_t load(const LiveValues& values, int offset) {
    int32_t load = hundredths(values.drive.load);
    return offset == 0 ? highWord(load) : lowWord(load);
}
template <int Unit> uint16_t motorCurrent(const LiveValues& values, int) {
    return lowWord(hundredths(values.drive.unit[Unit].motorCurrent));
}
template <int Unit> uint16_t outputFrequency(const LiveValues& values, int) {
    return lowWord(hundredths(values.drive.unit[Unit].outputFrequency));
}
uint16_t pressure(const LiveValues& values, int) {
    return lowWord(hundredths(values.drive.pressure));
}
uint16_t oilTemperature(const LiveValues& values, int) {
    return lowWord(hundredths(values.drive.oilTemperature));
}

// clang-format off
const InputRegisterRow kInputRegisters[] = {
    {0, 5, "board serial number, two characters per register, first in the high byte, 0 past its end", serialNumberPair},
    {5, 1, "option index of `selectedDrive1`", optionIndex<&Config::selectedDrive1>},
    {6, 1, "option index of `selectedDrive2`", optionIndex<&Config::selectedDrive2>},
    {7, 1, "option index of `selectedValve1`", optionIndex<&Config::selectedValve1>},
    {8, 1, "option index of `selectedValve2`", optionIndex<&Config::selectedValve2>},
    {9, 1, "`freqDrive1` ×100", settingHundredths<&Config::freqDrive1>},
    {10, 1, "`freqDrive2` ×100", settingHundredths<&Config::freqDrive2>},
    {11, 1, "always 0", zero},
    {12, 2, "system time, seconds since 1970 (32 bits, high word first)", systemTime},
    {14, 2, "load G, kgf ×100 (32 bits, high word first)", load},
    {16, 1, "motor current of pump unit 1's drive, A ×100", motorCurrent<0>},
    {17, 1, "output frequency of pump unit 1's drive, Hz ×100", outputFrequency<0>},
    {18, 1, "pressure P, kgf/cm² ×100", pressure},
    {19, 1, "motor current of pump unit 2's drive, A ×100", motorCurrent<1>},
    {20, 1, "output frequency of pump unit 2's drive, Hz ×100", outputFrequency<1>},
    {21, 1, "oil temperature, °C ×100", oilTemperature},
};

const DiscreteInputRow kDiscreteInputs[] = {
    {0, "the motor current of pump unit 1's drive is available", [](const DriveReadings& d) { return d.unit[0].motorCurrentValid; }},
    {1, "the motor current of pump unit 2's drive is available", [](const DriveReadings& d) { return d.unit[1].motorCurrentValid; }},
    {2, "the output frequency of pump unit 1's drive is available", [](const DriveReadings& d) { return d.unit[0].outputFrequencyValid; }},
    {3, "the output frequency of pump unit 2's drive is available", [](const DriveReadings& d) { return d.unit[1].outputFrequencyValid; }},
    {4, "the oil temperature is valid and above -273.0 °C", [](const DriveReadings& d) { return d.oilTemperatureValid && d.oilTemperature > -273.0f; }},
    {5, "the pressure measured through pump unit 1's drive is valid", [](const DriveReadings& d) { return d.pressureValid; }},
};
// clang-format on

template <typename Row> const Row* rowCovering(RowTable<Row> table, int reg) {
    const Row* after = std::upper_bound(table.begin(), table.end(), reg,
                                        [](int r, const Row& row) { return r < row.first; });
    if (after == table.begin())
        return nullptr;
    const Row* row = after - 1;
    return reg < row->first + row->count ? row : nullptr;
}

} // namespace

RowTable<HoldingRegisterRow> holdingRegisterRows() {
    return {kHoldingRegisters, std::size(kHoldingRegisters)};
}

const HoldingRegisterRow* holdingRegisterRow(int reg) {
    return rowCovering(holdingRegisterRows(), reg);
}

RowTable<InputRegisterRow> inputRegisterRows() {
    return {kInputRegisters, std::size(kInputRegisters)};
}

uint16_t readInputRegister(const LiveValues& values, int reg) {
    const InputRegisterRow* row = rowCovering(inputRegisterRows(), reg);
    return row ? row->read(values, reg - row->first) : 0;
}

RowTable<DiscreteInputRow> discreteInputRows() {
    return {kDiscreteInputs, std::size(kDiscreteInputs)};
}

ConfigFlagsGroup& coilFlags(Config& config) {
    return config.workControl;
}

const char* registerEncodingName(RegisterEncoding encoding) {
    switch (encoding) {
    case RegisterEncoding::Text:
        return "Text";
    case RegisterEncoding::U16:
        return "U16";
    case RegisterEncoding::Int:
        return "INT";
    case RegisterEncoding::X100:
        return "X100";
    case RegisterEncoding::X100x2:
        return "X100x2";
    default:
        return "reserved";
    }
}

CatalogueRow catalogueRowOf(SettingPtr (*member)(Config&)) {
    for (const SettingGroup& group : settingGroups())
        for (const SettingInfo& info : group)
            if (info.member == member)
                return {&info, &group};
    return {};
}
