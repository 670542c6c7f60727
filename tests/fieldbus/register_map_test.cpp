// The register map's tables: complete, matched to the catalogue, as the integrators' document says.

#include "config/config.h"
#include "fieldbus/register_map.h"
#include "fieldbus/register_map_doc.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

bool isSelect(SettingKind kind) {
    return kind == SettingKind::Select || kind == SettingKind::YesNo || kind == SettingKind::OnOff ||
           kind == SettingKind::OnOffAuto || kind == SettingKind::TimeZone;
}

template <typename Row> std::vector<int> coveredAddresses(RowTable<Row> table) {
    std::vector<int> addresses;
    for (const Row& row : table)
        for (int i = 0; i < row.count; ++i)
            addresses.push_back(row.first + i);
    return addresses;
}

std::vector<int> upTo(int count) {
    std::vector<int> addresses;
    for (int i = 0; i < count; ++i)
        addresses.push_back(i);
    return addresses;
}

TEST(RegisterMap, EveryAddressIsCoveredOnceInOrder) {
    EXPECT_EQ(coveredAddresses(holdingRegisterRows()), upTo(kHoldingRegisterCount));
    EXPECT_EQ(coveredAddresses(inputRegisterRows()), upTo(kInputRegisterCount));
    int expected = 0;
    for (const DiscreteInputRow& row : discreteInputRows())
        EXPECT_EQ(row.number, expected++);
    EXPECT_EQ(expected, kDiscreteInputCount);
    EXPECT_EQ(holdingRegisterRow(363), nullptr);
    EXPECT_EQ(holdingRegisterRow(-1), nullptr);
    EXPECT_EQ(holdingRegisterRow(267)->first, 266);
}

TEST(RegisterMap, EachRowCarriesACatalogueSettingOfAMatchingKind) {
    for (const HoldingRegisterRow& row : holdingRegisterRows()) {
        if (row.encoding == RegisterEncoding::Reserved) {
            EXPECT_EQ(row.first, 314);
            EXPECT_EQ(row.count, 2);
            continue;
        }
        const SettingInfo* info = catalogueRowOf(row.member).info;
        ASSERT_NE(info, nullptr) << row.first;
        SettingKind kind = info->value.kind;
        switch (row.encoding) {
        case RegisterEncoding::Text:
            EXPECT_EQ(kind, SettingKind::Text) << row.first;
            break;
        case RegisterEncoding::U16:
            EXPECT_TRUE(isSelect(kind)) << row.first;
            break;
        default:
            EXPECT_EQ(kind, SettingKind::Number) << row.first;
        }
        // A signed X100 register holds the whole range ×100 in 16 bits.
        if (row.encoding == RegisterEncoding::X100 && info->value.minValue < 0) {
            EXPECT_GE(info->value.minValue * 100, -32768) << row.first;
            EXPECT_LE(info->value.maxValue * 100, 32767) << row.first;
        }
    }
}

// Registers 256-362 by key and encoding, in register order, as the integrators were given them.
const char* const kSettingRegisters[] = {
    "modbusAddress INT",
    "stopDrive U16",
    "nsMode U16",
    "nSwings X100",
    "nsMin X100",
    "nsMax X100",
    "kNapol X100",
    "lineBase U16",
    "lineShift X100",
    "intersectionMode U16",
    "nsCorrectionInterval X100x2",
    "nsCorrectionInterval X100x2",
    "downTimeMax X100",
    "upTimeMax X100",
    "gMax X100x2",
    "gMax X100x2",
    "gMin X100x2",
    "gMin X100x2",
    "longDownTurn U16",
    "longDownAsMalfunction U16",
    "numARA INT",
    "araDelay X100",
    "araReset INT",
    "tempCondOff X100",
    "tempCondOn X100",
    "tempFanOff X100",
    "tempFanOn X100",
    "tempStartWork X100",
    "tempStopWork X100",
    "coolingPump U16",
    "mainPumpFreq X100",
    "mainPumpMaxTime X100",
    "pu1Mode U16",
    "pu2Mode U16",
    "prioPu1Pu2 U16",
    "ev1Mode U16",
    "ev2Mode U16",
    "prioEv1Ev2 U16",
    "canSepStart U16",
    "delayTDP X100",
    "delayBDP X100",
    "delayEV1EV2 X100",
    "perfIncMode U16",
    "posSensorMaxTime X100",
    "downTimeOnBrokenSensor X100",
    "timeZone U16",
    "sensorResetDuration X100x2",
    "sensorResetDuration X100x2",
    "sensorResetPeriod X100x2",
    "sensorResetPeriod X100x2",
    "sensorResetOnLowOil U16",
    "wedgingEV U16",
    "workWithBrokenEV U16",
    "nsAlarmTempMode X100",
    "drive1.minFreq X100",
    "drive2.minFreq X100",
    "drive1.maxFreq X100",
    "drive2.maxFreq X100",
    "reserved",
    "reserved",
    "drive1.nomCurrentDrive X100",
    "drive2.nomCurrentDrive X100",
    "drive1.accelTimeDrive X100",
    "drive2.accelTimeDrive X100",
    "drive1.decelTimeDrive X100",
    "drive2.decelTimeDrive X100",
    "drive1.modbusAddr INT",
    "drive2.modbusAddr INT",
    "drive1.type U16",
    "drive2.type U16",
    "drive1.controlType U16",
    "drive2.controlType U16",
    "minFreqSync X100",
    "lowerFreqOnOverload U16",
    "lowerFreqStep X100",
    "pu2pu1FreqRatio X100",
    "recordPeriod X100x2",
    "recordPeriod X100x2",
    "cylinderArea X100",
    "strokeLength X100",
    "timeIntAutoCopy X100x2",
    "timeIntAutoCopy X100x2",
    "logLevel U16",
    "copyConfirmation U16",
    "modbusSpeed U16",
    "ecmInvertion U16",
    "delaySwingProtection X100",
    "oilSensorConnection U16",
    "oilSensorInvertion U16",
    "magSensorConnection U16",
    "topSensorType U16",
    "botSensorType U16",
    "topSensorInversion U16",
    "botSensorInversion U16",
    "ev1Inversion U16",
    "ev2Inversion U16",
    "pressSensorMalfuncAutodetect X100",
    "manualNoLimits U16",
    "manualFreqDrive1 X100",
    "manualFreqDrive2 X100",
    "absLineX X100",
    "nsCorrMode U16",
    "dynoRecordInPause U16",
    "pressureSmoothing X100",
    "dynoType U16",
    "oilSensorDelay X100",
    "manualReverseStart U16",
};

TEST(RegisterMap, SettingRegistersAreInTheAgreedOrder) {
    ASSERT_EQ(std::size(kSettingRegisters), 107u);
    for (int reg = 256; reg < kHoldingRegisterCount; ++reg) {
        const HoldingRegisterRow& row = *holdingRegisterRow(reg);
        std::string actual = "reserved";
        if (row.encoding != RegisterEncoding::Reserved) {
            CatalogueRow setting = catalogueRowOf(row.member);
            ASSERT_NE(setting.info, nullptr) << reg;
            const SettingGroup* group = setting.group;
            const SettingInfo* info = setting.info;
            // The two drives' groups hold the same keys.
            std::string prefix = group->name && std::string(group->name).rfind("drive", 0) == 0 &&
                                         std::string(group->name) != "driveSettings"
                                     ? std::string(group->name) + "."
                                     : "";
            actual = prefix + info->key + " " + registerEncodingName(row.encoding);
        }
        EXPECT_EQ(actual, kSettingRegisters[reg - 256]) << reg;
    }
}

TEST(RegisterMap, TheIntegratorsDocumentIsWhatTheToolWrites) {
    std::string document = readFile(std::string(VELKORD_SOURCE_DIR) + "/docs/modbus-map.md");
    EXPECT_EQ(document, registerMapMarkdown())
        << "docs/modbus-map.md is out of date: build/modbus-map-doc > docs/modbus-map.md";
}

} // namespace
