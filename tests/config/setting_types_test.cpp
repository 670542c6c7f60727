#include "config/config_flags_group.h"
#include "config/config_float.h"
#include "config/config_select.h"
#include "config/config_string.h"
#include "config/config_time_zone.h"
#include "tests/config/config_fixture.h"

#include <cmath>
#include <ctime>

namespace {

using SettingTypes = ConfigFixture;

int localHourAtEpoch() {
    time_t epoch = 0;
    tm local{};
    localtime_r(&epoch, &local);
    return local.tm_hour;
}

ConfigFloat address() {
    return ConfigFloat{"Адрес MODBUS", 52, 52, 1, 247, false};
}

TEST_F(SettingTypes, ANumberIsClampedAndTheClampedValueJournalledWithTwoDecimals) {
    ConfigFloat setting = address();

    EXPECT_EQ(setting.set(1000), 247);
    EXPECT_EQ(setting.value, 247);
    EXPECT_EQ(setting.set(-3), 1);
    EXPECT_EQ(setting.set(12.345f), 12.345f);

    EXPECT_EQ(journal(), (std::vector<std::string>{"Настройка 'Адрес MODBUS' изменена: 52.00 --> 247.00",
                                                   "Настройка 'Адрес MODBUS' изменена: 247.00 --> 1.00",
                                                   "Настройка 'Адрес MODBUS' изменена: 1.00 --> 12.35"}));
}

TEST_F(SettingTypes, ANumberEqualToTheValueOrClampedToItIsSilent) {
    ConfigFloat setting = address();
    EXPECT_EQ(setting.set(52), 52);
    setting.value = 247;
    EXPECT_EQ(setting.set(5000), 247);
    setting.value = 1;
    EXPECT_EQ(setting.set(std::nanf("")), 1); // NaN becomes the minimum
    EXPECT_TRUE(journal().empty());
}

TEST_F(SettingTypes, ANegativeRangeIsKept) {
    ConfigFloat delay{"Время задержки между ЭК1 и ЭК2", 0, 0, -1, 1, false};
    EXPECT_EQ(delay.set(-0.5f), -0.5f);
    EXPECT_EQ(delay.set(-7), -1);
}

TEST_F(SettingTypes, AnInvalidIndexIsRefusedWithAnErrorLineAndNoJournal) {
    ConfigSelect select("Тип PDP", 0, false);
    select.options = {"IP", "PPP", "IPV6"};

    EXPECT_EQ(select.set(-1), 0);
    EXPECT_EQ(select.set(3), 0);
    EXPECT_EQ(select.current, 0);

    std::vector<std::string> errors = board.logLinesWith(LOG_ERR, "Попытка установить недопустимый вариант");
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].rfind("config:", 0), 0u) << errors[0];
    EXPECT_TRUE(contains(errors[0], ": Попытка установить недопустимый вариант -1 для настройки 'Тип PDP'"));
    EXPECT_TRUE(contains(errors[1], ": Попытка установить недопустимый вариант 3 для настройки 'Тип PDP'"));
    EXPECT_TRUE(journal().empty());
}

TEST_F(SettingTypes, ASelectJournalsBothOptionTextsUnlessQuiet) {
    ConfigSelect select("Тип PDP", 0, false);
    select.options = {"IP", "PPP", "IPV6"};
    ConfigSelect other("other", 2, false);
    other.options = select.options;

    EXPECT_EQ(select.set(1), 1);
    EXPECT_EQ(select.set(1), 1);
    EXPECT_EQ(select.assign(other), 2);
    select.quiet = true;
    EXPECT_EQ(select.set(0), 0);
    EXPECT_EQ(select.currentText(), "IP");

    EXPECT_EQ(journal(), (std::vector<std::string>{"Настройка 'Тип PDP' изменена: 'IP' --> 'PPP'",
                                                   "Настройка 'Тип PDP' изменена: 'PPP' --> 'IPV6'"}));
}

TEST_F(SettingTypes, TheFixedChoicesHaveTheirOptionsAndStartAtTheirDefault) {
    YesNo yesNo("a", 1, true);
    OnOff onOff("b", 0, false);
    OnOffAuto onOffAuto("c", 2, false);
    EXPECT_EQ(yesNo.options, (std::vector<std::string>{"Да", "Нет"}));
    EXPECT_EQ(onOff.options, (std::vector<std::string>{"Вкл.", "Откл."}));
    EXPECT_EQ(onOffAuto.options, (std::vector<std::string>{"Вкл.", "Откл.", "Авто"}));
    EXPECT_EQ(yesNo.current, 1);
    EXPECT_TRUE(yesNo.autosave);
    EXPECT_EQ(onOffAuto.currentText(), "Авто");
    EXPECT_EQ(onOffAuto.set(3), 2);
}

TEST_F(SettingTypes, ATextSetToItsCurrentTextIsSilentEvenWhenEmpty) {
    ConfigString name{"Наименование скважины", "", "", false};
    name.set("");
    name.set("Скв. 17");
    name.set("Скв. 17");
    EXPECT_EQ(name.value, "Скв. 17");
    EXPECT_EQ(journal(),
              (std::vector<std::string>{"Настройка 'Наименование скважины' изменена: '' --> 'Скв. 17'"}));
}

// Every text the file cannot load back: control bytes (zero, tab, line break, ESC), Windows-1251, a cut
// letter, an overlong form, a surrogate, U+FFFE and a code point past U+10FFFF.
TEST_F(SettingTypes, ATextTheFileCouldNotLoadBackIsRefusedAndTheOldTextKept) {
    std::unique_ptr<Config> config = start();
    config->wellName.set("Скв. 17");
    std::string before = mainFile();
    const std::vector<std::string> refused{std::string("a\0b", 3),
                                           "a\tb",
                                           "a\nb",
                                           "\x1b[1m",
                                           "\x01",
                                           "\xd1\xea\xe2",
                                           "A\xd0",
                                           "\xd0",
                                           "\xc0\xa0",
                                           "\xe0\x80\xa0",
                                           "\xed\xa0\x80",
                                           "\xef\xbf\xbe",
                                           "\xf4\x90\x80\x80"};
    for (const std::string& text : refused) {
        config->wellName.set(text);
        EXPECT_EQ(config->wellName.value, "Скв. 17") << text;
    }
    EXPECT_EQ(mainFile(), before);
    EXPECT_EQ(journal(),
              (std::vector<std::string>{"Настройка 'Наименование скважины' изменена: '' --> 'Скв. 17'"}));
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "refusing text for setting 'Наименование скважины'").size(),
              refused.size());

    // Letters of every length, punctuation and the characters the file must escape are kept.
    const std::string accepted = "Куст 5 <A&B> \"скв.\" 'x' № 7 \xe2\x82\xac \xf0\x9f\x9b\xa2 \x7f";
    config->wellComment.set(accepted);
    EXPECT_EQ(config->wellComment.value, accepted);
    config.reset();
    gConfig = nullptr;
    std::unique_ptr<Config> reloaded = load();
    EXPECT_EQ(reloaded->wellName.value, "Скв. 17");
    EXPECT_EQ(reloaded->wellComment.value, accepted);
}

TEST_F(SettingTypes, FlagsAreSetOneByOneOrAllAtOnce) {
    ConfigFlagsGroup flags("Контроль работы", 0xcb9fff, false);
    flags.options = {"РУЧ", "СТОП", "Настройка стоп"};

    flags.setFlag(1, false);
    flags.setFlag(1, false);
    flags.setFlag(1, true);
    flags.setFlag(3, true);
    flags.setAll(0xcb9fff);
    flags.setAll(0);

    EXPECT_EQ(flags.mask, 0u);
    EXPECT_EQ(journal(), (std::vector<std::string>{
                             "Опция 'СТОП' настройки 'Контроль работы' изменена: 'вкл' --> 'выкл'",
                             "Опция 'СТОП' настройки 'Контроль работы' изменена: 'выкл' --> 'вкл'",
                             "Набор опций настройки 'Контроль работы' изменен: 0xcb9fff --> 0x0"}));
    std::vector<std::string> errors = board.logLinesWith(LOG_ERR, "несуществующего флага");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(contains(errors[0], ": Контроль работы: попытка установки несуществующего флага 3"));
}

TEST_F(SettingTypes, AQuietFlagsGroupChangesWithoutJournal) {
    ConfigFlagsGroup filter("Категории", 0, false);
    filter.options = {"a", "b"};
    filter.quiet = true;
    filter.setFlag(1, true);
    filter.setAll(5);
    EXPECT_EQ(filter.mask, 5u);
    EXPECT_TRUE(filter.isOn(2));
    EXPECT_FALSE(filter.isOn(1));
    EXPECT_TRUE(journal().empty());
}

TEST_F(SettingTypes, ATimeZoneChangesLocalTimeAtOnce) {
    ConfigTimeZone zone("Часовой пояс", kDefaultTimeZone, false);
    ASSERT_EQ(zone.options.size(), 58u);

    EXPECT_EQ(zone.set(34), 34);
    EXPECT_STREQ(getenv("TZ"), "AST-3");
    EXPECT_EQ(localHourAtEpoch(), 3);
    unsetenv("TZ");
    EXPECT_EQ(zone.set(34), 34); // the same zone again does nothing
    EXPECT_EQ(getenv("TZ"), nullptr);
    EXPECT_EQ(zone.set(58), 34);
    EXPECT_EQ(zone.set(38), 38);
    EXPECT_EQ(localHourAtEpoch(), 5);

    EXPECT_EQ(journal(), (std::vector<std::string>{
                             "Настройка 'Часовой пояс' изменена: 'UTC+05:00 (Екатеринбург, Ташкент)' --> "
                             "'UTC+03:00 (Минск, Москва)'",
                             "Настройка 'Часовой пояс' изменена: 'UTC+03:00 (Минск, Москва)' --> "
                             "'UTC+05:00 (Екатеринбург, Ташкент)'"}));
}

TEST(TimeZones, ShareStringsAndMapBackToTheFirstZone) {
    EXPECT_STREQ(timeZoneString(0), "SST11");
    EXPECT_STREQ(timeZoneString(26), "GMT0");
    EXPECT_STREQ(timeZoneString(38), "YEKT-5");
    EXPECT_STREQ(timeZoneString(57), "LINT-14");
    EXPECT_EQ(timeZoneString(58), nullptr);
    EXPECT_EQ(timeZoneString(-1), nullptr);
    EXPECT_EQ(timeZoneIndex("MST7MDT"), 9);
    EXPECT_EQ(timeZoneIndex("CST6CDT"), 12);
    EXPECT_EQ(timeZoneIndex("LHST-10:30LHDT-11"), 50);
    EXPECT_EQ(timeZoneIndex("yekt-5"), -1);
    for (int32_t index = 0; index < kTimeZoneCount; ++index)
        EXPECT_LE(timeZoneIndex(timeZoneString(index)), index);
}

// The order every setter keeps: journal line before the change, controller after it, file last.
TEST_F(SettingTypes, JournalComesBeforeTheChangeTheControllerAfterItAndTheSaveLast) {
    std::unique_ptr<Config> config = start();
    std::vector<std::string> seen;
    setJournalParameterLine([&] {
        seen.push_back("journal sees " + std::to_string(config->modbusAddress.value));
        return std::string();
    });
    config->setSettingChangeHook([&](const void* setting, float newValue, float oldValue) {
        EXPECT_EQ(setting, &config->modbusAddress);
        seen.push_back("controller sees " + std::to_string(config->modbusAddress.value) + " " +
                       std::to_string(newValue) + " " + std::to_string(oldValue) +
                       " file has 100: " + (contains(mainFile(), "<modbusAddress>100<") ? "yes" : "no"));
    });

    config->modbusAddress.set(100);

    EXPECT_EQ(seen,
              (std::vector<std::string>{"journal sees 52.000000",
                                        "controller sees 100.000000 100.000000 52.000000 file has 100: no"}));
    EXPECT_TRUE(contains(mainFile(), "<modbusAddress>100</modbusAddress>"));
}

TEST_F(SettingTypes, TheControllerHearsIndicesOfSelectsAndNothingOfTextsAndTheTimeZone) {
    std::unique_ptr<Config> config = start();
    std::vector<std::tuple<const void*, float, float>> calls;
    config->setSettingChangeHook([&](const void* setting, float newValue, float oldValue) {
        calls.emplace_back(setting, newValue, oldValue);
    });

    config->pdpType.set(2);
    config->workControl.setFlag(0, false);
    config->workControl.setAll(7);
    config->wellName.set("Скв. 1");
    config->timeZone.set(34);
    config->freqDrive1.set(40);

    using Call = std::tuple<const void*, float, float>;
    EXPECT_EQ(calls,
              (std::vector<Call>{Call{&config->pdpType, 2, 0}, Call{&config->workControl, 0, 0},
                                 Call{&config->workControl, 0, 0}, Call{&config->freqDrive1, 40, -1}}));
}

TEST_F(SettingTypes, OnlyAutosavingSettingsOfTheRegisteredConfigurationRewriteTheFile) {
    std::unique_ptr<Config> config = start();
    std::string before = mainFile();

    config->manualNoLimits.set(0);
    config->freqDrive2.set(45);
    EXPECT_EQ(mainFile(), before);

    gConfig = nullptr;
    config->nSwings.set(5);
    EXPECT_EQ(mainFile(), before);

    gConfig = config.get();
    config->nsMin.set(2);
    EXPECT_TRUE(contains(mainFile(), "<nSwings>5</nSwings>"));
    EXPECT_TRUE(contains(mainFile(), "<nsMin>2</nsMin>"));
}

} // namespace
