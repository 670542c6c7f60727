// "Меню настроек" as the daemon builds it, driven by key inputs on the discrete I/O chain through the
// keypad routing, read back from what the display shows, on the virtual clock.
#include "drive/discrete_inputs.h"
#include "platform/sim_system_control.h"
#include "sim/control_server.h"
#include "sim/sim_session.h"
#include "tests/drive/controller_fixture.h"
#include "tests/support/time_zone_guard.h"
#include "ui/clock.h"
#include "ui/date_time_edit.h"
#include "ui/edit_checkbox_group.h"
#include "ui/edit_radio.h"
#include "ui/edit_string.h"
#include "ui/keys.h"
#include "ui/read_only_string.h"
#include "ui/service_items.h"
#include "ui/value_edit.h"

#include <algorithm>
#include <fstream>
#include <sys/stat.h>
#include <typeinfo>
#include <unistd.h>

namespace {

enum class Kind { Number, Radio, Text, Checkboxes, ReadOnly, Service, DateTime };

// One place of a submenu: a setting by catalogue group and key, or a fixed item by title.
struct Expected {
    const char* group;
    const char* keyOrTitle;
    Kind kind;
    int decimals = -1;
};

Expected num(const char* group, const char* key, int decimals) {
    return {group, key, Kind::Number, decimals};
}
Expected radio(const char* group, const char* key) {
    return {group, key, Kind::Radio};
}
Expected fixed(const char* title, Kind kind) {
    return {nullptr, title, kind};
}

struct ExpectedSubmenu {
    const char* title;
    std::vector<Expected> rows;
};

std::vector<Expected> driveRows(const char* group) {
    return {num(group, "minFreq", 2),
            num(group, "maxFreq", 2),
            num(group, "nomCurrentDrive", 2),
            num(group, "accelTimeDrive", 2),
            num(group, "decelTimeDrive", 2),
            num(group, "modbusAddr", 0),
            radio(group, "type"),
            radio(group, "controlType")};
}

// The tree as the operator's manual lists it.
std::vector<ExpectedSubmenu> expectedTree() {
    const char* d = "driveSettings";
    std::vector<Expected> drives = driveRows("drive1");
    for (const Expected& row : driveRows("drive2"))
        drives.push_back(row);
    drives.insert(drives.end(),
                  {num(d, "minFreqSync", 2), radio(d, "lowerFreqOnOverload"), num(d, "lowerFreqStep", 2),
                   fixed("Записать настройки в ЧРП", Kind::Service)});
    return {
        {"Общие настройки",
         {fixed("Заводской номер контроллера", Kind::ReadOnly),
          fixed("Версия velkor", Kind::ReadOnly),
          {"common", "wellName", Kind::Text},
          {"common", "wellComment", Kind::Text},
          radio("common", "stopDrive"),
          {"common", "apn", Kind::Text},
          radio("common", "pdpType"),
          fixed("Рестарт velkord", Kind::Service),
          fixed("Перезагрузка", Kind::Service)}},
        {"Настройки производительности",
         {radio("performance", "nsMode"), num("performance", "nSwings", 2), num("performance", "nsMin", 2),
          num("performance", "nsMax", 2)}},
        {"Настройки интеллектуального режима",
         {num("smartMode", "kNapol", 2), radio("smartMode", "lineBase"), num("smartMode", "lineShift", 2),
          num("smartMode", "absLineX", 2), radio("smartMode", "intersectionMode"),
          num("smartMode", "nsCorrectionInterval", 2), radio("smartMode", "nsCorrMode")}},
        {"Технологические настройки привода",
         {num(d, "downTimeMax", 2),
          num(d, "upTimeMax", 2),
          num(d, "gMax", 2),
          num(d, "gMin", 2),
          radio(d, "longDownTurn"),
          radio(d, "longDownAsMalfunction"),
          num(d, "numARA", 0),
          num(d, "araDelay", 2),
          num(d, "araReset", 0),
          num(d, "tempCondOn", 2),
          num(d, "tempCondOff", 2),
          num(d, "tempFanOn", 2),
          num(d, "tempFanOff", 2),
          num(d, "tempStopWork", 2),
          num(d, "tempStartWork", 2),
          radio(d, "coolingPump"),
          num(d, "mainPumpFreq", 2),
          num(d, "mainPumpMaxTime", 2),
          radio(d, "pu1Mode"),
          radio(d, "pu2Mode"),
          radio(d, "prioPu1Pu2"),
          radio(d, "ev1Mode"),
          radio(d, "ev2Mode"),
          radio(d, "prioEv1Ev2"),
          radio(d, "canSepStart"),
          num(d, "delayTDP", 2),
          num(d, "delayBDP", 2),
          num(d, "delayEV1EV2", 2),
          radio(d, "perfIncMode"),
          num(d, "posSensorMaxTime", 2),
          num(d, "downTimeOnBrokenSensor", 2),
          num(d, "sensorResetDuration", 2),
          num(d, "sensorResetPeriod", 2),
          radio(d, "sensorResetOnLowOil"),
          radio(d, "wedgingEV"),
          radio(d, "workWithBrokenEV"),
          num(d, "nsAlarmTempMode", 2),
          fixed("Сброс параметров производительности", Kind::Service),
          fixed("Сброс к заводским настройкам", Kind::Service)}},
        {"Настройки ЧРП", drives},
        {"Настройки динамографа и журнала",
         {fixed("Дата, время", Kind::DateTime), radio("misc", "timeZone"), num("misc", "recordPeriod", 2),
          num("misc", "cylinderArea", 2), num("misc", "strokeLength", 2), radio("misc", "dynoRecordInPause"),
          radio("misc", "logLevel"), num("misc", "timeIntAutoCopy", 2), radio("misc", "copyConfirmation"),
          radio("misc", "dynoType")}},
        {"Настройки входов/выходов",
         {num("common", "modbusAddress", 0),
          radio("InputsOutputs", "modbusSpeed"),
          radio("InputsOutputs", "ecmInvertion"),
          num("InputsOutputs", "delaySwingProtection", 2),
          {"InputsOutputs", "workControl", Kind::Checkboxes},
          radio("InputsOutputs", "oilSensorConnection"),
          num("InputsOutputs", "oilSensorDelay", 2),
          radio("InputsOutputs", "oilSensorInvertion"),
          radio("InputsOutputs", "magSensorConnection"),
          radio("InputsOutputs", "topSensorType"),
          radio("InputsOutputs", "botSensorType"),
          radio("InputsOutputs", "topSensorInversion"),
          radio("InputsOutputs", "botSensorInversion"),
          radio("InputsOutputs", "ev1Inversion"),
          radio("InputsOutputs", "ev2Inversion"),
          num("InputsOutputs", "pressSensorMalfuncAutodetect", 2),
          num("InputsOutputs", "pressureSmoothing", 2),
          fixed("Запомнить внутренний термометр", Kind::Service)}},
        {"Просмотр журнала и динамограмм", {}},
    };
}

bool isKind(MenuItem* item, Kind kind) {
    switch (kind) {
    case Kind::Number:
        return dynamic_cast<ValueEdit*>(item) != nullptr;
    case Kind::Radio:
        return dynamic_cast<EditRadio*>(item) != nullptr && !dynamic_cast<EditCheckboxGroup*>(item);
    case Kind::Checkboxes:
        return dynamic_cast<EditCheckboxGroup*>(item) != nullptr;
    case Kind::Text:
        return dynamic_cast<EditString*>(item) != nullptr;
    case Kind::ReadOnly:
        return dynamic_cast<ReadOnlyString*>(item) != nullptr;
    case Kind::Service:
        return dynamic_cast<ServiceItem*>(item) != nullptr;
    case Kind::DateTime:
        return dynamic_cast<DateTimeEdit*>(item) != nullptr;
    }
    return false;
}

// Digits after the decimal point of a number text ("060.00": 2).
int decimalsOf(const std::string& text) {
    size_t point = text.find('.');
    return point == std::string::npos ? 0 : static_cast<int>(text.size() - point - 1);
}

class SettingsMenuTest : public ControllerFixture {
protected:
    void startLit() {
        healthyRig(kModeStop, true);
        setInput(kInputPanelEnable, true);
        start();
        run(200);
    }
    // A key pressed and let go on the chain, through the keypad's routing to the root set.
    void tap(int key) {
        setInput(key, true);
        run(30);
        setInput(key, false);
        run(30);
    }
    void tap(int key, int times) {
        for (int i = 0; i < times; ++i)
            tap(key);
    }
    std::vector<std::string> texts() { return display->visibleTexts(); }
    bool shows(const std::string& text) {
        auto shown = texts();
        return std::find(shown.begin(), shown.end(), text) != shown.end();
    }
    std::string joined() {
        std::string all;
        for (const auto& text : texts())
            all += (all.empty() ? "" : " | ") + text;
        return all;
    }
    VerticalMenu& settingsMenu() { return objects.mainScreen->settings().menu(); }
    VerticalMenu& submenu(int index) { return *dynamic_cast<VerticalMenu*>(settingsMenu().items()[index]); }
    // From the main screen: ВВОД, then down to the submenu and ВВОД on it.
    void openSubmenu(int index) {
        tap(kKeyEnter);
        tap(kKeyDown, index);
        tap(kKeyEnter);
    }
    std::string labelOf(const char* group, const char* key) {
        const SettingEntry* entry = config->find(group, key);
        return entry ? entry->info->label : std::string("?");
    }
    platform::SimSystemControl& system() { return board.platform().simSystemControl(); }
    void addW1Sensor(const std::string& id) {
        ::mkdir(board.path("/sys").c_str(), 0755);
        ::mkdir(board.path("/sys/bus").c_str(), 0755);
        ::mkdir(board.path("/sys/bus/w1").c_str(), 0755);
        ::mkdir(board.path("/sys/bus/w1/devices").c_str(), 0755);
        ::mkdir(board.path("/sys/bus/w1/devices/" + id).c_str(), 0755);
    }
};

TEST_F(SettingsMenuTest, EnterOnTheMainScreenOpensTheMenuAndCancelClosesIt) {
    startLit();
    ASSERT_TRUE(shows("Режим \"Стоп\"")) << joined();
    tap(kKeyEnter);
    EXPECT_EQ(texts().front(), "Общие настройки") << joined();
    EXPECT_FALSE(shows("Режим \"Стоп\"")) << "the menu hides the main screen: " << joined();
    // Left and right stay inside the open menu.
    tap(kKeyRight);
    EXPECT_EQ(texts().front(), "Общие настройки");
    tap(kKeyCancel);
    EXPECT_TRUE(shows("Режим \"Стоп\"")) << joined();
}

// Every submenu in order, every entry in order with its editor, reached and opened with the keys.
TEST_F(SettingsMenuTest, WalkOfTheWholeTreeMatchesTheManual) {
    startLit();
    std::vector<ExpectedSubmenu> tree = expectedTree();
    ASSERT_EQ(settingsMenu().items().size(), tree.size());
    tap(kKeyEnter);
    for (size_t s = 0; s < tree.size(); ++s) {
        SCOPED_TRACE(tree[s].title);
        EXPECT_EQ(settingsMenu().current(), static_cast<int>(s));
        EXPECT_EQ(settingsMenu().currentItem()->title(), tree[s].title);
        auto* sub = dynamic_cast<VerticalMenu*>(settingsMenu().currentItem());
        if (tree[s].rows.empty()) {
            tap(kKeyDown);
            continue;
        }
        ASSERT_NE(sub, nullptr);
        ASSERT_EQ(sub->items().size(), tree[s].rows.size());
        tap(kKeyEnter);
        for (size_t r = 0; r < tree[s].rows.size(); ++r) {
            const Expected& row = tree[s].rows[r];
            std::string title = row.group ? labelOf(row.group, row.keyOrTitle) : row.keyOrTitle;
            SCOPED_TRACE(title);
            MenuItem* item = sub->currentItem();
            ASSERT_EQ(sub->current(), static_cast<int>(r));
            EXPECT_EQ(item->title(), title);
            EXPECT_TRUE(isKind(item, row.kind)) << typeid(*item).name();
            EXPECT_TRUE(shows(title)) << "selected row on screen: " << joined();
            // Service actions act when opened; they have tests of their own.
            if (row.kind != Kind::Service) {
                tap(kKeyEnter);
                if (row.kind == Kind::Number || row.kind == Kind::Text) {
                    EXPECT_EQ(texts().front(), title) << joined();
                }
                if (row.kind == Kind::Radio) {
                    auto* select = std::get<ConfigSelect*>(config->find(row.group, row.keyOrTitle)->setting);
                    EXPECT_TRUE(shows(select->currentText())) << joined();
                    EXPECT_TRUE(shows("*")) << joined();
                }
                if (row.kind == Kind::Number) {
                    auto* editor = dynamic_cast<ValueEdit*>(item);
                    if (editor->shownText().find_first_not_of("0123456789.-") == std::string::npos) {
                        EXPECT_EQ(decimalsOf(editor->shownText()), row.decimals) << editor->shownText();
                    }
                    EXPECT_TRUE(shows(editor->shownText())) << joined();
                }
                tap(kKeyCancel);
            }
            EXPECT_TRUE(shows(title)) << "back in the list: " << joined();
            tap(kKeyDown);
        }
        tap(kKeyCancel);
        EXPECT_TRUE(shows(tree[s].title)) << joined();
        tap(kKeyDown);
    }
}

TEST_F(SettingsMenuTest, NumberEditorsShowTheirSpecialTextsAndDecimals) {
    startLit();
    config->sensorResetDuration.set(0);
    openSubmenu(3);
    // sensorResetDuration is the 32nd entry.
    tap(kKeyDown, 31);
    tap(kKeyEnter);
    EXPECT_TRUE(shows("Сброс выключен")) << joined();
    tap(kKeyUp);
    EXPECT_TRUE(shows("0000.01")) << joined();
    tap(kKeyEnter);
    EXPECT_FLOAT_EQ(config->sensorResetDuration.value, 0.01f);
    EXPECT_TRUE(journalHas("Настройка 'Продолжительность сброса датчиков' изменена: 0.00 --> 0.01"));
}

TEST_F(SettingsMenuTest, VersionAndSerialNumberAreShown) {
    startLit();
    openSubmenu(0);
    tap(kKeyDown);
    tap(kKeyEnter);
    EXPECT_EQ(joined(), "velkor 1.0-r743");
    tap(kKeyCancel);
    tap(kKeyUp);
    tap(kKeyEnter);
    EXPECT_EQ(joined(), gSerialNumber);
}

TEST_F(SettingsMenuTest, SwingsChangedWithTheKeysAreJournalled) {
    startLit();
    openSubmenu(1);
    tap(kKeyDown);
    tap(kKeyEnter);
    EXPECT_TRUE(shows("03.00")) << joined();
    tap(kKeyLeft, 2); // over the point onto the units
    tap(kKeyUp, 2);
    EXPECT_TRUE(shows("05.00")) << joined();
    tap(kKeyEnter);
    EXPECT_FLOAT_EQ(config->nSwings.value, 5.0f);
    EXPECT_TRUE(journalHas("Настройка 'Число качаний' изменена: 3.00 --> 5.00"));
    EXPECT_TRUE(shows("Число качаний"));
}

TEST_F(SettingsMenuTest, FactoryResetJournalsOneLinePerChangedSetting) {
    startLit();
    config->nSwings.set(5);
    config->pu1Mode.set(2);
    config->wellName.set("Скв-12");
    size_t before = journal().size();
    openSubmenu(3);
    tap(kKeyUp); // the list does not wrap: up from the first entry stays
    tap(kKeyDown, 38);
    ASSERT_EQ(submenu(3).currentItem()->title(), "Сброс к заводским настройкам");
    tap(kKeyEnter);
    EXPECT_EQ(joined(), "Сброс к заводским | настройкам выполнен.");
    std::vector<std::string> lines = journal();
    std::vector<std::string> added(lines.begin() + static_cast<long>(before), lines.end());
    EXPECT_EQ(added, (std::vector<std::string>{
                         "Настройка 'Наименование скважины' изменена: 'Скв-12' --> ''",
                         "Настройка 'Число качаний' изменена: 5.00 --> 3.00",
                         // The rig's healthy unit has no lower load limit.
                         "Настройка 'Минимальная нагрузка на штоке' изменена: -0.01 --> 1000.00",
                         "Настройка 'Режим насосной установки 1' изменена: 'Авто' --> 'Откл.'",
                         // Nor the pressure sensor's check by deviation.
                         "Настройка 'Автоопред. неиспр. ДД по отклонению' изменена: -0.01 --> 50.00",
                     }));
    EXPECT_FLOAT_EQ(config->nSwings.value, 3.0f);
    EXPECT_NE(file("/etc/velkord").find("<nSwings>3</nSwings>"), std::string::npos);
    // Keys other than ОТМ leave the message.
    tap(kKeyEnter);
    tap(kKeyDown);
    EXPECT_EQ(joined(), "Сброс к заводским | настройкам выполнен.");
    tap(kKeyCancel);
    EXPECT_TRUE(shows("Сброс к заводским настройкам")) << joined();
}

TEST_F(SettingsMenuTest, ServiceMessagesStandWhereTheyBelong) {
    startLit();
    openSubmenu(4);
    tap(kKeyDown, 19);
    ASSERT_EQ(submenu(4).currentItem()->title(), "Записать настройки в ЧРП");
    tap(kKeyEnter);
    auto* item = dynamic_cast<ServiceItem*>(submenu(4).currentItem());
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(item->message().size(), 2U);
    EXPECT_EQ(item->message()[0].text, "Запись настроек");
    EXPECT_EQ(item->message()[0].x, 30);
    EXPECT_EQ(item->message()[0].baseline, 20);
    EXPECT_EQ(item->message()[1].text, "в ЧРП инициирована.");
    EXPECT_EQ(item->message()[1].x, 20);
    EXPECT_EQ(item->message()[1].baseline, 40);
    EXPECT_EQ(joined(), "Запись настроек | в ЧРП инициирована.");
}

TEST_F(SettingsMenuTest, RestartAndRebootGoThroughThePlatform) {
    startLit();
    openSubmenu(0);
    tap(kKeyDown, 7);
    tap(kKeyEnter);
    EXPECT_EQ(joined(), "Выполняется рестарт, | подождите...");
    EXPECT_EQ(system().restarts(), 1);
    tap(kKeyCancel);
    system().setForkError(EAGAIN);
    tap(kKeyDown);
    tap(kKeyEnter);
    EXPECT_EQ(joined(), "Выполняется перезагрузка, | подождите...");
    EXPECT_EQ(system().reboots(), 0);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "fork error").size(), 1U);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "mainScreen:").size(), 1U);
}

class ThermometerItemTest : public SettingsMenuTest {
protected:
    std::string openThermometerItem() {
        openSubmenu(6);
        tap(kKeyDown, 17);
        EXPECT_EQ(submenu(6).currentItem()->title(), "Запомнить внутренний термометр");
        tap(kKeyEnter);
        return joined();
    }
};

TEST_F(ThermometerItemTest, NoSensorIsAnError) {
    startLit();
    std::string before = config->thermSensorId;
    EXPECT_EQ(openThermometerItem(), "Ошибка: | Датчик температуры | не найден");
    EXPECT_EQ(config->thermSensorId, before);
}

TEST_F(ThermometerItemTest, OneSensorIsRemembered) {
    startLit();
    addW1Sensor("10-000802b4e1a7");
    EXPECT_EQ(openThermometerItem(), "Датчик температуры | 10-000802b4e1a7 | записан в конфиг-файл");
    EXPECT_EQ(config->thermSensorId, "10-000802b4e1a7");
    EXPECT_EQ(file("/etc/thermSensorId"), "10-000802b4e1a7\n");
}

TEST_F(ThermometerItemTest, TwoSensorsChangeNothing) {
    startLit();
    std::string before = config->thermSensorId;
    addW1Sensor("10-000802b4e1a7");
    addW1Sensor("10-000802b4e1a8");
    EXPECT_EQ(openThermometerItem(), "Ошибка: | более одного датчика | на шине");
    EXPECT_EQ(config->thermSensorId, before);
}

class DateTimeEditTest : public SettingsMenuTest {
protected:
    void startLit() {
        SettingsMenuTest::startLit();
        ::setenv("TZ", "UTC0", 1);
        ::tzset();
    }
    DateTimeEdit& editor() { return *dynamic_cast<DateTimeEdit*>(submenu(5).items()[0]); }
    // The platform's wall clock set to a local time, then the editor opened with the keys.
    void openAt(const char* when) {
        tm local{};
        strptime(when, "%d.%m.%Y %H:%M:%S", &local);
        local.tm_isdst = -1;
        board.platform().clock().setWallSeconds(mktime(&local));
        openSubmenu(5);
        tap(kKeyEnter);
    }
    void createRtc() { std::ofstream(board.path("/dev/rtc")).flush(); }
    void removeRtc() { ::unlink(board.path("/dev/rtc").c_str()); }

    TimeZoneGuard zone;
};

TEST_F(DateTimeEditTest, DownOnTheFirstOfMarchGivesTheLastOfFebruary) {
    startLit();
    openAt("01.03.2028 10:00:00");
    EXPECT_EQ(editor().shownText().substr(0, 10), "01.03.2028");
    tap(kKeyDown);
    EXPECT_EQ(editor().shownText().substr(0, 10), "29.02.2028");
    tap(kKeyCancel);
    tap(kKeyEnter);
    tap(kKeyRight, 2);
    tap(kKeyDown); // the year before: not a leap year
    tap(kKeyLeft, 2);
    tap(kKeyUp);
    EXPECT_EQ(editor().shownText().substr(0, 10), "02.03.2027");
    tap(kKeyDown, 2);
    EXPECT_EQ(editor().shownText().substr(0, 10), "28.02.2027");
}

TEST_F(DateTimeEditTest, AYearTheClockCannotHoldIsNotTaken) {
    // With a 32-bit time (the board) 2038 is past the clock's end: the step is refused, not shown as a
    // date the clock would then be set to wrongly; with a 64-bit time it is an ordinary year.
    startLit();
    openAt("31.12.2037 12:00:00");
    tap(kKeyRight, 2);
    tap(kKeyUp);
    std::string expected = sizeof(time_t) > 4 ? "31.12.2038 12:00:00" : "31.12.2037 12:00:00";
    EXPECT_EQ(editor().shownText(), expected);
}

TEST_F(DateTimeEditTest, FieldsCarryIntoTheNextOne) {
    startLit();
    openAt("31.01.2027 23:59:59");
    tap(kKeyUp);
    EXPECT_EQ(editor().shownText(), "01.02.2027 23:59:59");
    tap(kKeyRight, 9); // stops at the seconds
    EXPECT_EQ(editor().cursor(), DateTimeEdit::kSeconds);
    tap(kKeyUp);
    EXPECT_EQ(editor().shownText(), "02.02.2027 00:00:00");
    tap(kKeyLeft, 4);
    tap(kKeyDown);
    EXPECT_EQ(editor().shownText(), "02.01.2027 00:00:00");
    // The characters are drawn one by one.
    EXPECT_TRUE(shows("2"));
}

TEST_F(DateTimeEditTest, ConfirmingSetsTheClockAndTheRtc) {
    startLit();
    createRtc();
    openAt("28.02.2028 12:00:00");
    tap(kKeyUp);
    tap(kKeyEnter);
    EXPECT_FALSE(editor().isShown());
    // The journal, the main screen and everything else now read the new date.
    time_t now = platform::wallTime();
    tm local{};
    localtime_r(&now, &local);
    EXPECT_EQ(local.tm_mday, 29);
    EXPECT_EQ(local.tm_mon, 1);
    EXPECT_EQ(local.tm_year, 128);
    EXPECT_EQ(file("/dev/rtc").substr(0, 17), "2028-02-29 12:00:");
    tap(kKeyCancel);
    tap(kKeyCancel);
    run(1000);
    EXPECT_NE(joined().find("29.02.2028 12:0"), std::string::npos) << joined();
    config->nSwings.set(4);
    std::string last = readFile(board.path("/var/log/events"));
    EXPECT_NE(last.rfind("Feb 29 12:0"), std::string::npos)
        << last.substr(last.size() > 200 ? last.size() - 200 : 0);
}

TEST_F(DateTimeEditTest, WithoutRtcTheTimeIsSetAndTheEditorStaysOpen) {
    startLit();
    removeRtc();
    openAt("15.06.2027 08:30:00");
    tap(kKeyRight, 3);
    tap(kKeyUp);
    tap(kKeyEnter);
    EXPECT_TRUE(editor().isShown());
    EXPECT_EQ(
        board.logLinesWith(LOG_ERR, "DateTimeEdit: cannot open /dev/rtc: No such file or directory").size(),
        1U);
    time_t now = platform::wallTime();
    tm local{};
    localtime_r(&now, &local);
    EXPECT_EQ(local.tm_hour, 9);
    EXPECT_EQ(local.tm_mday, 15);
}

} // namespace
