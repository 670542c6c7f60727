#include "config/settings_catalogue.h"

#include "config/config.h"

namespace {

constexpr SettingValueRule number(double defaultValue, float minValue, float maxValue) {
    return {SettingKind::Number, defaultValue, minValue, maxValue, 0, nullptr, 0};
}
constexpr SettingValueRule text() {
    return {SettingKind::Text, 0, 0, 0, 0, nullptr, 0};
}
constexpr SettingValueRule plainText() {
    return {SettingKind::PlainText, 0, 0, 0, 0, nullptr, 0};
}
constexpr SettingValueRule choice(int defaultIndex) {
    return {SettingKind::Select, static_cast<double>(defaultIndex), 0, 0, 0, nullptr, 0};
}
constexpr SettingValueRule yesNo(int defaultIndex) {
    return {SettingKind::YesNo, static_cast<double>(defaultIndex), 0, 0, 0, nullptr, 0};
}
constexpr SettingValueRule onOff(int defaultIndex) {
    return {SettingKind::OnOff, static_cast<double>(defaultIndex), 0, 0, 0, nullptr, 0};
}
constexpr SettingValueRule onOffAuto(int defaultIndex) {
    return {SettingKind::OnOffAuto, static_cast<double>(defaultIndex), 0, 0, 0, nullptr, 0};
}
constexpr SettingValueRule timeZone(int defaultIndex) {
    return {SettingKind::TimeZone, static_cast<double>(defaultIndex), 0, 0, 0, nullptr, 0};
}
template <size_t N> constexpr SettingValueRule flags(uint64_t defaultMask, const FlagInfo (&table)[N]) {
    return {SettingKind::FlagsGroup, 0, 0, 0, defaultMask, table, N};
}

constexpr PanelEdit decimals(int count, const char* specialText = nullptr, float specialValue = 0) {
    return {PanelEditor::Number, count, specialText, specialValue};
}
constexpr PanelEdit kList{PanelEditor::List, 0, nullptr, 0};
constexpr PanelEdit kTextEditor{PanelEditor::Text, 0, nullptr, 0};
constexpr PanelEdit kCheckBoxes{PanelEditor::CheckBoxes, 0, nullptr, 0};
constexpr PanelEdit kNoPanel{PanelEditor::None, 0, nullptr, 0};

template <auto Member> constexpr SettingPtr (*member)(Config&) = &settingMember<Member>;

// clang-format off

// Flag i is bit i of the mask; flags 2 to 36 stand for the controller's alarms 0 to 34.
const FlagInfo kWorkControlFlags[] = {
    {"РУЧ", true}, // 0
    {"СТОП", true}, // 1
    {"Настройка стоп", true}, // 2
    {"Низкий уровень масла", true}, // 3
    {"Обрыв датчика уровня масла", true}, // 4
    {"Остановка по КЗ верхнего датчика", true}, // 5
    {"Остановка по обрыву верхнего дат.", true}, // 6
    {"Превышение времени сраб. сост. ДВ", true}, // 7
    {"Остановка по обрыву нижнего дат.", true}, // 8
    {"Превышение времени хода вверх", true}, // 9
    {"Одновременное срабатывание дат.", true}, // 10
    {"Превышение времени сраб. сост. ДН", true}, // 11
    {"Остановка по КЗ нижнего датчика", true}, // 12
    {"Остановка по низкой температ. ЧРП", false}, // 13
    {"Остановка: неисправность ЭК", false}, // 14
    {"Перегрев двигателей НУ1 и НУ2", true}, // 15
    {"Перегр. масла. Прив. будет зап. авт.!", true}, // 16
    {"Остановка по ЭКМ", true}, // 17
    {"Превыш. нагр. на штоке. Авт. перез. прив. №x", false}, // 18
    {"Превыш. нагр. на штоке №x", true}, // 19
    {"Ошибка датчика температуры", false}, // 20
    {"Неисправность датчика давления", false}, // 21
    {"Перегрев двигателя НУx", true}, // 22
    {"Игнорирование одновр. сраб. дат.", true}, // 23
    {"Превыш. врем. хода вниз при низк. нагр.", false}, // 24
    {"Превышение времени хода вниз", false}, // 25
    {"Игнор. превыш. врем. сраб. сост. ДН", false}, // 26
    {"Игнорирование КЗ нижнего датчика", false}, // 27
    {"Игнорирование обрыва нижнего дат.", false}, // 28
    {"Отключен контроль обрыва дат. УМ", false}, // 29
    {"Отключен контроль обрыва ДВ", false}, // 30
    {"Отключен контроль обрыва ДН", false}, // 31
    {"Обрыв ЭКx", false}, // 32
    {"Игнорирование неисправных ЭК", false}, // 33
    {"Аварийный температурный режим", false}, // 34
    {"Низкая температура ЧРП", false}, // 35
    {"Неисправность системы охлаждения", false}, // 36
};

// Key, label, kind with default and range, options, settings-menu editor, web name, member. Every
// setting of the main file saves automatically; the others do not.

// Group "common" of the main file.
const SettingInfo kCommon[] = {
    {"modbusAddress", "Адрес MODBUS", number(52, 1, 247), {}, decimals(0), "modbusAddress", member<&Config::modbusAddress>},
    {"stopDrive", "Остановка привода", choice(1), {"остановить", "нет"}, kList, "stopDrive", member<&Config::stopDrive>},
    {"wellName", "Наименование скважины", text(), {}, kTextEditor, "wellName", member<&Config::wellName>},
    {"wellComment", "Примечание", text(), {}, kTextEditor, "wellComment", member<&Config::wellComment>},
    {"apn", "Точка доступа (APN)", text(), {}, kTextEditor, "apn", member<&Config::apn>},
    {"pdpType", "Тип PDP", choice(0), {"IP", "PPP", "IPV6"}, kList, "pdpType", member<&Config::pdpType>},
};

// Group "performance" of the main file.
const SettingInfo kPerformance[] = {
    {"nsMode", "Режим задания числа качаний", choice(0), {"Прямое указание", "Интеллектуально"}, kList, "nsMode", member<&Config::nsMode>},
    {"nSwings", "Число качаний", number(3, 0.2, 10), {}, decimals(2), "ns", member<&Config::nSwings>},
    {"nsMin", "Мин. число качаний", number(1, 0.2, 10), {}, decimals(2), "nsMin", member<&Config::nsMin>},
    {"nsMax", "Макс. число качаний", number(4, 0.2, 10), {}, decimals(2), "nsMax", member<&Config::nsMax>},
};

// Group "smartMode" of the main file.
const SettingInfo kSmartMode[] = {
    {"kNapol", "Коэфф. наполнения", number(0.7, 0.1, 1), {}, decimals(2), "kNapol", member<&Config::kNapol>},
    {"lineBase", "Способ задания линии", choice(3), {"% между min и max", "% от значения min", "% от значения max", "Абсолютное значение G"}, kList, "lineBase", member<&Config::lineBase>},
    {"lineShift", "Коэфф. смещения линии", number(25, 0, 100), {}, decimals(2), "lineShift", member<&Config::lineShift>},
    {"absLineX", "Абс. значение линии X", number(0, 0, 16000), {}, decimals(2), "absLineX", member<&Config::absLineX>},
    {"intersectionMode", "Определение пересечения", choice(0), {"Последнее пересечение", "Все пересечения", "Первое пересечение"}, kList, "interMode", member<&Config::intersectionMode>},
    {"nsCorrectionInterval", "Интервал корр. числа качаний", number(60, 0, 1440), {}, decimals(2), "nsCorrInterval", member<&Config::nsCorrectionInterval>},
    {"nsCorrMode", "Способ корректировки числа качаний", choice(1), {"Пропорциональный", "Линейный", "Линейн. увелич. и пропорц. снижение", "Пропорц. увелич. и линейн. снижение"}, kList, "nsCorrMode", member<&Config::nsCorrMode>},
};

// Group "driveSettings" of the main file.
const SettingInfo kDriveSettings[] = {
    {"downTimeMax", "Максимальное время хода вниз", number(60, 0.1, 600), {}, decimals(2), "downTimeMax", member<&Config::downTimeMax>},
    {"upTimeMax", "Максимальное время хода вверх", number(120, 0.1, 600), {}, decimals(2), "upTimeMax", member<&Config::upTimeMax>},
    {"gMax", "Максимальная нагрузка на штоке", number(8000, -0.01, 20000), {}, decimals(2, "Не учитывать", -0.01), "gMax", member<&Config::gMax>},
    {"gMin", "Минимальная нагрузка на штоке", number(1000, -0.01, 16000), {}, decimals(2, "Не учитывать", -0.01), "gMin", member<&Config::gMin>},
    {"longDownTurn", "Разворот при долгом ходе вниз", choice(1), {"По мин. числу качаний", "По макс. времени хода"}, kList, "longDownTurn", member<&Config::longDownTurn>},
    {"longDownAsMalfunction", "Долгий ход вниз как неисправность", yesNo(0), {}, kList, "longDownAsMalfunction", member<&Config::longDownAsMalfunction>},
    {"numARA", "Кол-во АПВ при перегрузке", number(3, 0, 100), {}, decimals(0), "numARA", member<&Config::numARA>},
    {"araDelay", "Задержка АПВ", number(10, 1, 60), {}, decimals(2), "araDelay", member<&Config::araDelay>},
    {"araReset", "Кол-во циклов для сброса АПВ", number(10, 1, 100), {}, decimals(0), "araReset", member<&Config::araReset>},
    {"tempCondOff", "Температура выключения доп. насоса", number(40, 0, 80), {}, decimals(2), "tCondOff", member<&Config::tempCondOff>},
    {"tempCondOn", "Температура включения доп. насоса", number(45, 0, 80), {}, decimals(2), "tCondOn", member<&Config::tempCondOn>},
    {"tempFanOff", "Температура выключения вентилятора", number(40, 0, 80), {}, decimals(2), "tFanOff", member<&Config::tempFanOff>},
    {"tempFanOn", "Температура включения вентилятора", number(50, 0, 80), {}, decimals(2), "tFanOn", member<&Config::tempFanOn>},
    {"tempStartWork", "Температура возобновления работы", number(55, 0, 80), {}, decimals(2), "tStartWork", member<&Config::tempStartWork>},
    {"tempStopWork", "Температура приостановки работы", number(60, 0, 80), {}, decimals(2), "tStopWork", member<&Config::tempStopWork>},
    {"coolingPump", "Насос системы охлаждения", choice(0), {"Основной", "Дополнительный"}, kList, "coolingPump", member<&Config::coolingPump>},
    {"mainPumpFreq", "Частота осн. насоса при охлажд.", number(10, 0, 100), {}, decimals(2), "mainPumpFreq", member<&Config::mainPumpFreq>},
    {"mainPumpMaxTime", "Макс. время работы осн. насоса", number(30, 0, 100), {}, decimals(2), "mainPumpMaxTime", member<&Config::mainPumpMaxTime>},
    {"pu1Mode", "Режим насосной установки 1", onOffAuto(1), {}, kList, "pu1Mode", member<&Config::pu1Mode>},
    {"pu2Mode", "Режим насосной установки 2", onOffAuto(1), {}, kList, "pu2Mode", member<&Config::pu2Mode>},
    {"prioPu1Pu2", "Приоритет при НУ1 и НУ2 авто", choice(0), {"НУ1", "НУ2"}, kList, "prioPu1Pu2", member<&Config::prioPu1Pu2>},
    {"ev1Mode", "Режим ЭК1", onOffAuto(1), {}, kList, "ev1Mode", member<&Config::ev1Mode>},
    {"ev2Mode", "Режим ЭК2", onOffAuto(1), {}, kList, "ev2Mode", member<&Config::ev2Mode>},
    {"prioEv1Ev2", "Приоритет при ЭК1 и ЭК2 авто", choice(0), {"ЭК1", "ЭК2"}, kList, "prioEv1Ev2", member<&Config::prioEv1Ev2>},
    {"canSepStart", "Разреш. раздельн. запуска НУ", onOff(0), {}, kList, "canSepStart", member<&Config::canSepStart>},
    {"delayTDP", "Вермя задержки в ВМТ", number(0, 0, 100), {}, decimals(2), "delayTDP", member<&Config::delayTDP>},
    {"delayBDP", "Время задержки в НМТ", number(0, 0, 100), {}, decimals(2), "delayBDP", member<&Config::delayBDP>},
    {"delayEV1EV2", "Время задержки между ЭК1 и ЭК2", number(0, -1, 1), {}, decimals(2), "delayEV1EV2", member<&Config::delayEV1EV2>},
    {"perfIncMode", "Приоритет увеличения производительности", choice(0), {"Клапан - двигатель", "Двигатель - клапан"}, kList, "perfIncMode", member<&Config::perfIncMode>},
    {"posSensorMaxTime", "Макс. время сраб. датчика положения", number(30, 10, 300), {}, decimals(2), "posSensorMaxTime", member<&Config::posSensorMaxTime>},
    {"downTimeOnBrokenSensor", "Время хода вниз при неиспр. ДН", number(0, 0, 10), {}, decimals(2), "downTimeOnBrokenSensor", member<&Config::downTimeOnBrokenSensor>},
    {"sensorResetDuration", "Продолжительность сброса датчиков", number(0, 0, 6000), {}, decimals(2, "Сброс выключен", 0), "sensorResetDuration", member<&Config::sensorResetDuration>},
    {"sensorResetPeriod", "Период сброса датчиков", number(0, 0, 1440), {}, decimals(2), "sensorResetPeriod", member<&Config::sensorResetPeriod>},
    {"sensorResetOnLowOil", "Сброс датчиков при снижении УМ", onOff(1), {}, kList, "sensorResetOnLowOil", member<&Config::sensorResetOnLowOil>},
    {"wedgingEV", "Расклинивание ЭК", choice(0), {"Под нагрузкой", "Без нагрузки", "При ходе вверх"}, kList, "wedgingEV", member<&Config::wedgingEV>},
    {"workWithBrokenEV", "Работа при неиспр. ЭК", onOff(1), {}, kList, "workWithBrokenEV", member<&Config::workWithBrokenEV>},
    {"nsAlarmTempMode", "Число качаний в авар. темп. режиме", number(1, 0.2, 10), {}, decimals(2), "nsAlarmTempMode", member<&Config::nsAlarmTempMode>},
    {"minFreqSync", "Мин. частота синхронной работы", number(20, 0, 100), {}, decimals(2), "minFreqSync", member<&Config::minFreqSync>},
    {"lowerFreqOnOverload", "Снижать макс. частоту при перегрузке", yesNo(1), {}, kList, "lowerFreqOnOverload", member<&Config::lowerFreqOnOverload>},
    {"lowerFreqStep", "Шаг снижения част. при перегрузке", number(5, 0, 100), {}, decimals(2), "lowerFreqStep", member<&Config::lowerFreqStep>},
    {"pu2pu1FreqRatio", "Отношение частоты НУ2 к НУ1", number(1, 0.1, 2), {}, kNoPanel, "pu2pu1FreqRatio", member<&Config::pu2pu1FreqRatio>},
};

// Group "drive1" of the main file.
const SettingInfo kDrive1[] = {
    {"minFreq", "Минимальная частота двигателя 1", number(22, 0, 100), {}, decimals(2), "minFreqDrive1", member<&Config::minFreqDrive1>},
    {"maxFreq", "Максимальная частота двигателя 1", number(50, 0, 100), {}, decimals(2), "maxFreqDrive1", member<&Config::maxFreqDrive1>},
    {"nomCurrentDrive", "Номинальный ток двигателя 1", number(0, 0, 180), {}, decimals(2), "nomCurrentDrive1", member<&Config::nomCurrentDrive1>},
    {"accelTimeDrive", "Мин. время разгона двигателя 1", number(0.5, 0.1, 5), {}, decimals(2), "accelTimeDrive1", member<&Config::accelTimeDrive1>},
    {"decelTimeDrive", "Время торможения двигателя 1", number(0.09, 0.09, 5), {}, decimals(2, "Свободный выбег", 0.09), "decelTimeDrive1", member<&Config::decelTimeDrive1>},
    {"modbusAddr", "Адрес MODBUS двигателя 1", number(1, 1, 254), {}, decimals(0), "modbusAddrDrive1", member<&Config::modbusAddrDrive1>},
    {"type", "Тип ЧРП 1", choice(0), {"Danfoss FC302", "Delta VFD900CP43A"}, kList, "typeDrive1", member<&Config::typeDrive1>},
    {"controlType", "Способ управления ЧРП 1", choice(1), {"RS-485, дискретные выходы", "только RS-485"}, kList, "controlTypeDrive1", member<&Config::controlTypeDrive1>},
};

// Group "drive2" of the main file.
const SettingInfo kDrive2[] = {
    {"minFreq", "Минимальная частота двигателя 2", number(22, 0, 100), {}, decimals(2), "minFreqDrive2", member<&Config::minFreqDrive2>},
    {"maxFreq", "Максимальная частота двигателя 2", number(50, 0, 100), {}, decimals(2), "maxFreqDrive2", member<&Config::maxFreqDrive2>},
    {"nomCurrentDrive", "Номинальный ток двигателя 2", number(0, 0, 180), {}, decimals(2), "nomCurrentDrive2", member<&Config::nomCurrentDrive2>},
    {"accelTimeDrive", "Мин. время разгона двигателя 2", number(0.5, 0.1, 5), {}, decimals(2), "accelTimeDrive2", member<&Config::accelTimeDrive2>},
    {"decelTimeDrive", "Время торможения двигателя 2", number(0.09, 0.09, 5), {}, decimals(2, "Свободный выбег", 0.09), "decelTimeDrive2", member<&Config::decelTimeDrive2>},
    {"modbusAddr", "Адрес MODBUS двигателя 2", number(2, 1, 254), {}, decimals(0), "modbusAddrDrive2", member<&Config::modbusAddrDrive2>},
    {"type", "Тип ЧРП 2", choice(0), {"Danfoss FC302", "Delta VFD900CP43A"}, kList, "typeDrive2", member<&Config::typeDrive2>},
    {"controlType", "Способ управления ЧРП 2", choice(1), {"RS-485, дискретные выходы", "только RS-485"}, kList, "controlTypeDrive2", member<&Config::controlTypeDrive2>},
};

// Group "InputsOutputs" of the main file.
const SettingInfo kInputsOutputs[] = {
    {"modbusSpeed", "Скорость MODBUS-master", choice(5), {"300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}, kList, "modbusSpeed", member<&Config::modbusSpeed>},
    {"ecmInvertion", "Инверсия входа ЭКМ", onOff(1), {}, kList, "ecmInvertion", member<&Config::ecmInvertion>},
    {"delaySwingProtection", "Задержка срабатывания ЭКМ", number(1, 0.1, 100), {}, decimals(2), "delaySwingProtection", member<&Config::delaySwingProtection>},
    {"workControl", "Контроль работы", flags(0xcb9fff, kWorkControlFlags), {}, kCheckBoxes, "workControl", member<&Config::workControl>},
    {"oilSensorConnection", "Тип подключения датчика УМ", choice(1), {"2-проводное", "3-проводное"}, kList, "oilSensorConnection", member<&Config::oilSensorConnection>},
    {"oilSensorDelay", "Задержка срабатывания датчика УМ", number(1, 0.1, 60), {}, decimals(2), "oilSensorDelay", member<&Config::oilSensorDelay>},
    {"oilSensorInvertion", "Инверсия датчика уровня масла", onOff(1), {}, kList, "oilSensorInvertion", member<&Config::oilSensorInvertion>},
    {"magSensorConnection", "Тип подключения магнитного датчика", choice(1), {"3-проводное", "4-проводное"}, kList, "magSensorConnection", member<&Config::magSensorConnection>},
    {"topSensorType", "Тип верхнего датчика", choice(1), {"Индуктивный", "Магнитный"}, kList, "topSensorType", member<&Config::topSensorType>},
    {"botSensorType", "Тип нижнего датчика", choice(1), {"Индуктивный", "Магнитный"}, kList, "botSensorType", member<&Config::botSensorType>},
    {"topSensorInversion", "Инверсия верхнего датчика", onOff(1), {}, kList, "topSensorInversion", member<&Config::topSensorInversion>},
    {"botSensorInversion", "Инверсия нижнего датчика", onOff(1), {}, kList, "botSensorInversion", member<&Config::botSensorInversion>},
    {"ev1Inversion", "Действие ЭК1 при подаче напряжения", choice(0), {"Прямое действие (открытие)", "Обратное действие (закрытие)"}, kList, "ev1Inversion", member<&Config::ev1Inversion>},
    {"ev2Inversion", "Действие ЭК2 при подаче напряжения", choice(0), {"Прямое действие (открытие)", "Обратное действие (закрытие)"}, kList, "ev2Inversion", member<&Config::ev2Inversion>},
    {"pressSensorMalfuncAutodetect", "Автоопред. неиспр. ДД по отклонению", number(50, -0.01, 100), {}, decimals(2, "Не определять", -0.01), "pressSensorMalfuncAutodetect", member<&Config::pressSensorMalfuncAutodetect>},
    {"pressureSmoothing", "Сглаживание значений давления", number(0.5, 0, 0.99), {}, decimals(2, "Не сглаживать", 0), "pressureSmoothing", member<&Config::pressureSmoothing>},
    {"thermSensorId", nullptr, plainText(), {}, kNoPanel, nullptr, member<&Config::thermSensorId>},
};

// Group "manualMode" of the main file.
const SettingInfo kManualMode[] = {
    {"manualFreqDrive1", "Частота двигателя 1", number(0, 0, 100), {}, kNoPanel, "manualFreqDrive1", member<&Config::manualFreqDrive1>},
    {"manualFreqDrive2", "Частота двигателя 2", number(0, 0, 100), {}, kNoPanel, "manualFreqDrive2", member<&Config::manualFreqDrive2>},
};

// Group "misc" of the main file.
const SettingInfo kMisc[] = {
    {"timeZone", "Часовой пояс", timeZone(38), {}, kList, "timeZone", member<&Config::timeZone>},
    {"recordPeriod", "Периодичность записи динамограмм", number(60, 0, 1440), {}, decimals(2), "recordPeriod", member<&Config::recordPeriod>},
    {"cylinderArea", "Рабочая площадь поршня", number(82.47, 0.1, 200), {}, decimals(2), "cylinderArea", member<&Config::cylinderArea>},
    {"strokeLength", "Длина хода фактическая", number(2, 0.1, 6), {}, decimals(2), "strokeLength", member<&Config::strokeLength>},
    {"dynoRecordInPause", "Запись в динамогр. в паузах в кр. точк.", onOff(0), {}, kList, "dynoRecordInPause", member<&Config::dynoRecordInPause>},
    {"logLevel", "Ведение журнала", choice(0), {"Нормальное", "Подробное"}, kList, "logLevel", member<&Config::logLevel>},
    {"timeIntAutoCopy", "Врем. инт. для авт. коп. посл. ДГ и жур.", number(240, 0, 2000), {}, decimals(2, "Не копировать", 0), "timeIntAutoCopy", member<&Config::timeIntAutoCopy>},
    {"copyConfirmation", "Подтверждение копирования", yesNo(0), {}, kList, "copyConfirmation", member<&Config::copyConfirmation>},
    {"dynoType", "Представление динамограммы", choice(0), {"В виде графика", "В виде цикла"}, kList, "dynoType", member<&Config::dynoType>},
};

// Never stored: at their default at every start.
const SettingInfo kNotStored[] = {
    {"manualNoLimits", "Работа без ограничений", onOff(1), {}, kNoPanel, "manualNoLimits", member<&Config::manualNoLimits>},
    {"manualReverseStart", "Разовый реверсный пуск", onOff(1), {}, kNoPanel, "manualReverseStart", member<&Config::manualReverseStart>},
};

// Children of the performance file's root; their labels are their keys.
const SettingInfo kPerformanceFile[] = {
    {"selectedDrive1", "selectedDrive1", choice(0), {"Не выбран", "Выбран"}, kNoPanel, nullptr, member<&Config::selectedDrive1>},
    {"selectedDrive2", "selectedDrive2", choice(0), {"Не выбран", "Выбран"}, kNoPanel, nullptr, member<&Config::selectedDrive2>},
    {"selectedValve1", "selectedValve1", choice(0), {"не выбран", "выбран"}, kNoPanel, nullptr, member<&Config::selectedValve1>},
    {"selectedValve2", "selectedValve2", choice(0), {"не выбран", "выбран"}, kNoPanel, nullptr, member<&Config::selectedValve2>},
    {"freqDrive1", "freqDrive1", number(-1, 0, 1000), {}, kNoPanel, nullptr, member<&Config::freqDrive1>},
    {"freqDrive2", "freqDrive2", number(-1, 0, 1000), {}, kNoPanel, nullptr, member<&Config::freqDrive2>},
};

// clang-format on

template <size_t N> SettingGroup group(const char* name, SettingStore store, const SettingInfo (&rows)[N]) {
    return {name, store, rows, N};
}

} // namespace

const std::vector<SettingGroup>& settingGroups() {
    static const std::vector<SettingGroup> groups = {
        group("common", SettingStore::MainFile, kCommon),
        group("performance", SettingStore::MainFile, kPerformance),
        group("smartMode", SettingStore::MainFile, kSmartMode),
        group("driveSettings", SettingStore::MainFile, kDriveSettings),
        group("drive1", SettingStore::MainFile, kDrive1),
        group("drive2", SettingStore::MainFile, kDrive2),
        group("InputsOutputs", SettingStore::MainFile, kInputsOutputs),
        group("manualMode", SettingStore::MainFile, kManualMode),
        group("misc", SettingStore::MainFile, kMisc),
        group(nullptr, SettingStore::NotStored, kNotStored),
        group(nullptr, SettingStore::PerformanceFile, kPerformanceFile),
    };
    return groups;
}
