// The slave's request handling, PDU in and PDU out: checks, exceptions, the register encodings and
// the writes through the settings' setters.

#include "config/config_time_zone.h"
#include "config/setting_text.h"
#include "tests/fieldbus/slave_fixture.h"

#include <cstdlib>

namespace {

using SlaveRequests = SlaveFixture;

TEST_F(SlaveRequests, UnknownFunctionCodesAreIllegal) {
    for (uint8_t function : {0, 7, 8, 11, 14, 17, 43, 127})
        EXPECT_EQ(slave.handleRequest(pdu(function, {0, 1})), exception(function, 1)) << int(function);
}

TEST_F(SlaveRequests, ARequestOfTheWrongLengthIsExceptionThree) {
    for (uint8_t function : {1, 2, 3, 4, 5, 6}) {
        Bytes shortRequest = pdu(function, {0});
        Bytes longRequest = pdu(function, {0, 1, 2});
        EXPECT_EQ(slave.handleRequest(shortRequest), exception(function, 3)) << int(function);
        EXPECT_EQ(slave.handleRequest(longRequest), exception(function, 3)) << int(function);
    }
    EXPECT_EQ(slave.handleRequest(pdu(16, {256, 1})), exception(16, 3)); // no byte count
    Bytes badCount = writeRegisters(256, {1, 2});
    badCount[6] = 3; // not twice the quantity
    EXPECT_EQ(slave.handleRequest(badCount), exception(16, 3));
    Bytes truncated = writeRegisters(256, {1, 2});
    truncated.pop_back();
    EXPECT_EQ(slave.handleRequest(truncated), exception(16, 3));
    Bytes coils = pdu(15, {0, 9});
    coils.push_back(1); // 9 coils need 2 bytes
    coils.push_back(0xFF);
    EXPECT_EQ(slave.handleRequest(coils), exception(15, 3));
    // Too short to carry a function code: nothing to answer.
    EXPECT_TRUE(slave.handleRequest({52}).empty());
    EXPECT_TRUE(slave.handleRequest({}).empty());
}

TEST_F(SlaveRequests, QuantityLimitsAre127RegistersAnd2032Bits) {
    EXPECT_EQ(slave.handleRequest(pdu(3, {0, 127})).size(), 3u + 254u);
    EXPECT_EQ(slave.handleRequest(pdu(3, {0, 128})), exception(3, 3));
    EXPECT_EQ(slave.handleRequest(pdu(4, {0, 128})), exception(4, 3));
    // 2032 bits pass the quantity check and then run past the coils and inputs; 2033 do not.
    EXPECT_EQ(slave.handleRequest(pdu(1, {0, 2032})), exception(1, 2));
    EXPECT_EQ(slave.handleRequest(pdu(1, {0, 2033})), exception(1, 3));
    EXPECT_EQ(slave.handleRequest(pdu(2, {0, 2032})), exception(2, 2));
    EXPECT_EQ(slave.handleRequest(pdu(2, {0, 2033})), exception(2, 3));
}

TEST_F(SlaveRequests, AReadOfQuantityZeroHasByteCountZero) {
    for (uint8_t function : {1, 2, 3, 4})
        EXPECT_EQ(slave.handleRequest(pdu(function, {0, 0})), (Bytes{52, function, 0})) << int(function);
}

TEST_F(SlaveRequests, HoldingRegisters360To364AreExceptionTwoWithoutPartialData) {
    EXPECT_EQ(slave.handleRequest(pdu(3, {360, 5})), exception(3, 2));
    EXPECT_EQ(slave.handleRequest(pdu(3, {358, 5})).size(), 3u + 10u);
    EXPECT_EQ(slave.handleRequest(pdu(4, {20, 3})), exception(4, 2));
    EXPECT_EQ(slave.handleRequest(pdu(6, {363, 1})), exception(6, 2));
}

TEST_F(SlaveRequests, InputRegistersCarryTheSerialNumberSelectionsAndTime) {
    // "unknown": its seven bytes, then three zero bytes.
    EXPECT_EQ(input(0, 5), (std::vector<uint16_t>{0x756E, 0x6B6E, 0x6F77, 0x6E00, 0x0000}));
    config->selectedDrive2.set(1);
    config->selectedValve1.set(1);
    config->freqDrive1.set(37.5f);
    std::vector<uint16_t> registers = input(5, 9);
    // freqDrive2 is still at its default -1, below its range: -100 in 16 bits.
    EXPECT_EQ(registers, (std::vector<uint16_t>{0, 1, 1, 0, 3750, 0xFF9C, 0, registers[7], registers[8]}));
    auto now = static_cast<uint32_t>(platform::wallTime());
    uint32_t clock = static_cast<uint32_t>(registers[7]) << 16 | registers[8];
    EXPECT_LE(now - clock, 1u);
}

TEST_F(SlaveRequests, MeasurementsComeFromTheDriveStatusAndReadZeroWithoutIt) {
    EXPECT_EQ(input(14, 8), std::vector<uint16_t>(8, 0));
    EXPECT_EQ(slave.handleRequest(pdu(2, {0, 6})), (Bytes{52, 2, 1, 0x00}));

    FixedDriveStatus drive;
    drive.readings.unit[0] = {12.34f, true, 45.5f, false};
    drive.readings.unit[1] = {-1.5f, false, 30.0f, true};
    drive.readings.pressure = 55.25f;
    drive.readings.pressureValid = true;
    drive.readings.load = 7000.5f;
    drive.readings.oilTemperature = -300.0f; // not measured yet, though its sensor is good
    drive.readings.oilTemperatureValid = true;
    slave.setDriveStatus(&drive);

    // Load 700050 = 0x000AAE92; -1.5 A x100 = -150 in 16 bits; -30000 likewise.
    EXPECT_EQ(input(14, 8), (std::vector<uint16_t>{0x000A, 0xAE92, 1234, 4550, 5525, 0xFF6A, 3000, 0x8AD0}));
    // Bits 0 (current 1), 3 (frequency 2) and 5 (pressure); not 4, the temperature is below -273.
    EXPECT_EQ(slave.handleRequest(pdu(2, {0, 6})), (Bytes{52, 2, 1, 0b101001}));
    drive.readings.oilTemperature = 21.5f;
    EXPECT_EQ(slave.handleRequest(pdu(2, {4, 1})), (Bytes{52, 2, 1, 1}));
    EXPECT_EQ(slave.handleRequest(pdu(2, {5, 2})), exception(2, 2));
}

TEST_F(SlaveRequests, CoilsAreTheWorkControlFlags) {
    // Default mask 0xcb9fff: bits 0-12, 15, 16, 19, 22, 23 set.
    EXPECT_EQ(slave.handleRequest(pdu(1, {0, 24})), (Bytes{52, 1, 3, 0xFF, 0x9F, 0xCB}));
    EXPECT_EQ(slave.handleRequest(pdu(1, {30, 7})), (Bytes{52, 1, 1, 0}));
    EXPECT_EQ(slave.handleRequest(pdu(1, {30, 8})), exception(1, 2));

    // Any non-zero value switches a coil on; the response is the request.
    EXPECT_EQ(slave.handleRequest(pdu(5, {36, 0x0001})), pdu(5, {36, 0x0001}));
    EXPECT_TRUE(config->workControl.isOn(36));
    EXPECT_EQ(slave.handleRequest(pdu(5, {0, 0x0000})), pdu(5, {0, 0x0000}));
    EXPECT_FALSE(config->workControl.isOn(0));
    EXPECT_EQ(slave.handleRequest(pdu(5, {37, 0xFF00})), exception(5, 3));
    EXPECT_EQ(journal().back(), "Опция 'РУЧ' настройки 'Контроль работы' изменена: 'вкл' --> 'выкл'");
}

TEST_F(SlaveRequests, WritingSeveralCoilsIsOneUpdateOfTheMask) {
    Bytes request = pdu(15, {12, 10});
    request.push_back(2);
    request.push_back(0b11111110); // coil 12 off, 13-19 on
    request.push_back(0b00000010); // 20 off, 21 on
    EXPECT_EQ(slave.handleRequest(request), pdu(15, {12, 10}));
    EXPECT_EQ(config->workControl.mask, 0xefefffu);
    EXPECT_EQ(journal().back(), "Набор опций настройки 'Контроль работы' изменен: 0xcb9fff --> 0xefefff");

    Bytes beyond = pdu(15, {30, 8});
    beyond.push_back(1);
    beyond.push_back(0xFF);
    EXPECT_EQ(slave.handleRequest(beyond), exception(15, 2));
    EXPECT_EQ(config->workControl.mask, 0xefefffu);
}

TEST_F(SlaveRequests, HoldingRegistersReadTheSettingsInTheirEncodings) {
    config->kNapol.set(0.7f);
    config->gMax.set(-0.01f);
    config->delayEV1EV2.set(-0.5f);
    config->timeZone.set(26);
    EXPECT_EQ(holding(256), 52);     // INT
    EXPECT_EQ(holding(257), 1);      // U16: "нет"
    EXPECT_EQ(holding(259), 300);    // X100: 3
    EXPECT_EQ(holding(262), 70);     // 0.7 in single precision is still 70
    EXPECT_EQ(holding(266), 0);      // 6000 = 0x00001770
    EXPECT_EQ(holding(267), 0x1770); //
    EXPECT_EQ(holding(270), 0xFFFF); // -1 in 32 bits
    EXPECT_EQ(holding(271), 0xFFFF); //
    EXPECT_EQ(holding(297), 0xFFCE); // -50 in 16 bits
    EXPECT_EQ(holding(301), 26);     // the time zone's index
    EXPECT_EQ(holding(314), 0);      // reserved
    EXPECT_EQ(holding(334), 8247);   // 82.47
    EXPECT_EQ(holding(362), 1);      // "Откл."
}

TEST_F(SlaveRequests, TextsReadTwoBytesPerRegisterAndZeroPastTheirEnd) {
    config->wellName.set("Скв 7");
    config->wellComment.set("xyz");
    std::vector<uint16_t> name = registersOf(slave.handleRequest(pdu(3, {0, 5})));
    EXPECT_EQ(name, (std::vector<uint16_t>{0xD0A1, 0xD0BA, 0xD0B2, 0x2037, 0}));
    EXPECT_EQ(holding(128), 0x7879);
    EXPECT_EQ(holding(129), 0x7A00);
    EXPECT_EQ(holding(255), 0);
}

TEST_F(SlaveRequests, RegistersZeroAndOneSetTheWellNameToABC) {
    EXPECT_EQ(slave.handleRequest(writeRegisters(0, {0x4142, 0x4300})), pdu(16, {0, 2}));
    EXPECT_EQ(config->wellName.value, "ABC");
    EXPECT_EQ(journal().back(), "Настройка 'Наименование скважины' изменена: '' --> 'ABC'");
    // One register in the middle of a longer name: the rest stays.
    config->wellName.set("ABCDEF");
    EXPECT_EQ(slave.handleRequest(pdu(6, {1, 0x7879})), pdu(6, {1, 0x7879}));
    EXPECT_EQ(config->wellName.value, "ABxyEF");
    EXPECT_EQ(slave.handleRequest(pdu(6, {1, 0x7A00})), pdu(6, {1, 0x7A00}));
    EXPECT_EQ(config->wellName.value, "ABz");
}

TEST_F(SlaveRequests, ATextWrittenPastItsEndEndsAtItsFirstZeroByte) {
    config->wellComment.set("AB");
    // Register 130 holds bytes 4 and 5; bytes 2 and 3 would be zero bytes inside the text.
    EXPECT_EQ(slave.handleRequest(pdu(6, {130, 0x4344})), pdu(6, {130, 0x4344}));
    EXPECT_EQ(config->wellComment.value, "AB");
    EXPECT_EQ(slave.handleRequest(writeRegisters(129, {0x2D2D, 0x4344})), pdu(16, {129, 2}));
    EXPECT_EQ(config->wellComment.value, "AB--CD");
}

TEST_F(SlaveRequests, AWriteAcrossBothTextsSetsBoth) {
    EXPECT_EQ(slave.handleRequest(writeRegisters(127, {0x3132, 0x3334})), pdu(16, {127, 2}));
    // The name was empty: "12" at bytes 254 and 255 would follow zero bytes, so it stays empty.
    EXPECT_EQ(config->wellName.value, "");
    EXPECT_EQ(config->wellComment.value, "34");
}

TEST_F(SlaveRequests, FailedRequestKeepsTheTextsButNotTheNumbersWrittenBeforeIt) {
    config->wellComment.set("keep");
    // Registers 240-363: the comment's last sixteen, all settings, then 363, which does not exist.
    std::vector<uint16_t> values(124, 0x0101);
    Bytes request = pdu(16, {240, 124});
    request.push_back(248);
    for (uint16_t value : values) {
        request.push_back(static_cast<uint8_t>(value >> 8));
        request.push_back(static_cast<uint8_t>(value & 0xFF));
    }
    EXPECT_EQ(slave.handleRequest(request), exception(16, 2));
    EXPECT_EQ(config->wellComment.value, "keep");
    EXPECT_EQ(config->modbusAddress.value, 247); // 257 clamped to its maximum
    EXPECT_EQ(config->oilSensorDelay.value, 2.57f);
}

TEST_F(SlaveRequests, Register266AloneCombinesTheNewHighWordWithTheOldLowWord) {
    // 60 = 6000 = 0x00001770; the high word 1 makes 0x00011770 = 71536, so 715.36.
    EXPECT_EQ(slave.handleRequest(pdu(6, {266, 1})), pdu(6, {266, 1}));
    EXPECT_FLOAT_EQ(config->nsCorrectionInterval.value, 715.36f);
    // The low word alone keeps the high word in force: 0x00010064 = 65636.
    EXPECT_EQ(slave.handleRequest(pdu(6, {267, 100})), pdu(6, {267, 100}));
    EXPECT_FLOAT_EQ(config->nsCorrectionInterval.value, 656.36f);
    EXPECT_EQ(journal().size(), 2u); // one change per write
}

TEST_F(SlaveRequests, APairWrittenInOneRequestIsOneChange) {
    // 1000.5 = 100050 = 0x000186D2.
    EXPECT_EQ(slave.handleRequest(writeRegisters(266, {0x0001, 0x86D2})), pdu(16, {266, 2}));
    EXPECT_FLOAT_EQ(config->nsCorrectionInterval.value, 1000.5f);
    EXPECT_EQ(journal(), (std::vector<std::string>{
                             "Настройка 'Интервал корр. числа качаний' изменена: 60.00 --> 1000.50"}));
    // Negative values through both words: -0.01.
    EXPECT_EQ(slave.handleRequest(writeRegisters(272, {0xFFFF, 0xFFFF})), pdu(16, {272, 2}));
    EXPECT_FLOAT_EQ(config->gMin.value, -0.01f);
}

TEST_F(SlaveRequests, X100RegistersKeepTheHighWordOfTheValueInForce) {
    EXPECT_EQ(slave.handleRequest(pdu(6, {259, 450})), pdu(6, {259, 450}));
    EXPECT_FLOAT_EQ(config->nSwings.value, 4.5f);
    config->absLineX.set(1000); // 100000 = 0x000186A0
    slave.handleRequest(pdu(6, {356, 500}));
    EXPECT_FLOAT_EQ(config->absLineX.value, 660.36f); // 0x000101F4
    // Out of range: the setter clamps, the write succeeds.
    EXPECT_EQ(slave.handleRequest(pdu(6, {259, 5000})), pdu(6, {259, 5000}));
    EXPECT_FLOAT_EQ(config->nSwings.value, 10);
}

TEST_F(SlaveRequests, EveryHundredthWrittenReadsBackAsWritten) {
    // 0.20 ... 10.00 strokes: 4.24 is no binary fraction, yet 424 reads back as 424.
    for (uint16_t raw = 20; raw <= 1000; ++raw) {
        ASSERT_EQ(slave.handleRequest(pdu(6, {259, raw})), pdu(6, {259, raw}));
        ASSERT_EQ(holding(259), raw);
    }
    // The 32-bit pairs, up to the largest load limit 19999.99.
    for (int32_t raw : {1999999, 1999998, 1999990, 1000001, 1000010, 1234567, 1, 99, -1}) {
        auto high = static_cast<uint16_t>(static_cast<uint32_t>(raw) >> 16);
        auto low = static_cast<uint16_t>(raw & 0xFFFF);
        ASSERT_EQ(slave.handleRequest(writeRegisters(270, {high, low})), pdu(16, {270, 2}));
        EXPECT_EQ(registersOf(slave.handleRequest(pdu(3, {270, 2}))), (std::vector<uint16_t>{high, low}))
            << raw;
    }
}

TEST_F(SlaveRequests, SignedX100RegistersChangeSign) {
    EXPECT_EQ(slave.handleRequest(pdu(6, {297, 0xFFCE})), pdu(6, {297, 0xFFCE}));
    EXPECT_FLOAT_EQ(config->delayEV1EV2.value, -0.5f);
    slave.handleRequest(pdu(6, {297, 50}));
    EXPECT_FLOAT_EQ(config->delayEV1EV2.value, 0.5f);
    // "Не определять" (-0.01) and back.
    slave.handleRequest(pdu(6, {352, 0xFFFF}));
    EXPECT_FLOAT_EQ(config->pressSensorMalfuncAutodetect.value, -0.01f);
    slave.handleRequest(pdu(6, {352, 5000}));
    EXPECT_FLOAT_EQ(config->pressSensorMalfuncAutodetect.value, 50);
}

TEST_F(SlaveRequests, IntegerRegistersTakeTheIntegerWritten) {
    slave.handleRequest(pdu(6, {256, 17}));
    EXPECT_EQ(config->modbusAddress.value, 17);
    slave.handleRequest(writeRegisters(276, {5}));
    EXPECT_EQ(config->numARA.value, 5);
    EXPECT_EQ(holding(276), 5);
    slave.handleRequest(pdu(6, {323, 300}));
    EXPECT_EQ(config->modbusAddrDrive2.value, 254); // clamped
}

TEST_F(SlaveRequests, SelectRegistersGoThroughTheSelectSetter) {
    TimeZoneGuard zone;
    EXPECT_EQ(slave.handleRequest(pdu(6, {301, 26})), pdu(6, {301, 26}));
    EXPECT_EQ(config->timeZone.current, 26);
    EXPECT_STREQ(std::getenv("TZ"), "GMT0");
    // A refused index is logged by the setting; the write itself succeeds.
    EXPECT_EQ(slave.handleRequest(pdu(6, {257, 5})), pdu(6, {257, 5}));
    EXPECT_EQ(config->stopDrive.current, 1);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "Попытка установить недопустимый вариант 5").size(), 1u);
    slave.handleRequest(pdu(6, {362, 0}));
    EXPECT_EQ(config->manualReverseStart.current, 0);
}

TEST_F(SlaveRequests, ReservedRegistersReadZeroAndAcceptWrites) {
    EXPECT_EQ(slave.handleRequest(writeRegisters(313, {2500, 7, 8, 3000})), pdu(16, {313, 4}));
    EXPECT_EQ(config->maxFreqDrive2.value, 25);
    EXPECT_EQ(config->nomCurrentDrive1.value, 30);
    EXPECT_EQ(registersOf(slave.handleRequest(pdu(3, {314, 2}))), (std::vector<uint16_t>{0, 0}));
}

TEST_F(SlaveRequests, BroadcastsAreExecutedAndNeverAnswered) {
    EXPECT_TRUE(slave.handleRequest(pdu(6, {257, 0}, 0)).empty());
    EXPECT_EQ(config->stopDrive.current, 0);
    EXPECT_TRUE(slave.handleRequest(pdu(3, {0, 10}, 0)).empty());
    EXPECT_TRUE(slave.handleRequest(pdu(3, {400, 10}, 0)).empty()); // nor its exception
    // Any other address is answered as its own.
    EXPECT_EQ(slave.handleRequest(pdu(3, {257, 1}, 17)), (Bytes{17, 3, 2, 0, 0}));
}

// Texts a SCADA may send that the configuration file cannot hold: a control byte, Windows-1251, the
// first byte of a two-byte letter. None may reach the file, and what was saved before and after loads.
TEST_F(SlaveRequests, ATextTheFileCannotHoldIsRefusedAndTheSavedSettingsLoadBack) {
    config->wellName.set("Скв 7");
    const std::vector<std::vector<uint16_t>> unstorable{
        {0x6101, 0x7A00}, {0xD1EA, 0xE200}, {0x41D0, 0x0000}, {0xC0A0, 0x0000}};
    for (const std::vector<uint16_t>& text : unstorable) {
        Bytes request = pdu(16, {0, static_cast<uint16_t>(text.size())});
        request.push_back(static_cast<uint8_t>(2 * text.size()));
        for (uint16_t value : text) {
            request.push_back(static_cast<uint8_t>(value >> 8));
            request.push_back(static_cast<uint8_t>(value & 0xFF));
        }
        EXPECT_EQ(slave.handleRequest(request), exception(16, 3)) << std::hex << text[0];
        EXPECT_EQ(config->wellName.value, "Скв 7");
    }
    EXPECT_EQ(slave.handleRequest(pdu(6, {128, 0x1B41})), exception(6, 3));
    EXPECT_EQ(board.logLinesWith(LOG_WARNING, "refusing text of 'Наименование скважины'").size(), 4u);
    config->modbusAddress.set(17);

    size_t openErrors = board.logLinesWith(LOG_ERR, "error opening").size();
    config.reset();
    gConfig = nullptr;
    std::unique_ptr<Config> reloaded = load();
    EXPECT_EQ(reloaded->wellName.value, "Скв 7");
    EXPECT_EQ(reloaded->modbusAddress.value, 17);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "error opening").size(), openErrors);
}

TEST_F(SlaveRequests, AUtf8NameIsWrittenInOneRequestOrRegisterByRegisterWhereNoLetterIsSplit) {
    // "AБв" is 41 D091 D0B2: register 0 holds A and the first byte of Б.
    EXPECT_EQ(slave.handleRequest(writeRegisters(0, {0x41D0, 0x91D0, 0xB200})), pdu(16, {0, 3}));
    EXPECT_EQ(config->wellName.value, "AБв");
    // One register at a time, each text in between must be whole: "Ск" (D0A1 D0BA) works...
    config->wellName.set("");
    EXPECT_EQ(slave.handleRequest(pdu(6, {0, 0xD0A1})), pdu(6, {0, 0xD0A1}));
    EXPECT_EQ(slave.handleRequest(pdu(6, {1, 0xD0BA})), pdu(6, {1, 0xD0BA}));
    EXPECT_EQ(slave.handleRequest(pdu(6, {2, 0})), pdu(6, {2, 0}));
    EXPECT_EQ(config->wellName.value, "Ск");
    // ..."AБ" does not: register 0 alone leaves half a letter.
    EXPECT_EQ(slave.handleRequest(pdu(6, {0, 0x41D0})), exception(6, 3));
    EXPECT_EQ(config->wellName.value, "Ск");
}

// Each save is synced to flash: a request over all the settings must not write the file a hundred times.
TEST_F(SlaveRequests, AWriteOverAllSettingsSavesTheFileOnceWithEveryValueWritten) {
    std::string before = mainFile();
    size_t journalBefore = journal().size();
    Bytes request = pdu(16, {256, 107});
    request.push_back(214);
    for (int i = 0; i < 107; ++i) {
        request.push_back(0);
        request.push_back(1);
    }
    EXPECT_EQ(slave.handleRequest(request), pdu(16, {256, 107}));
    EXPECT_GT(journal().size() - journalBefore, 60u);
    // Written once: the backup is the file from before the request.
    EXPECT_EQ(readFile(mainPath() + ".bak"), before);

    std::vector<std::string> written;
    for (const SettingEntry& entry : config->settings())
        if (entry.group->store == SettingStore::MainFile)
            written.push_back(settingFileText(entry));
    config.reset();
    gConfig = nullptr;
    std::unique_ptr<Config> reloaded = load();
    std::vector<std::string> loaded;
    for (const SettingEntry& entry : reloaded->settings())
        if (entry.group->store == SettingStore::MainFile)
            loaded.push_back(settingFileText(entry));
    EXPECT_EQ(loaded, written);
}

} // namespace
