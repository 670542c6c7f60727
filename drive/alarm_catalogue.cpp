#include "drive/alarm_catalogue.h"

#include "core/log.h"

#include <cstdarg>

namespace {

// Status bytes: automatic / alarm / stopped / remote.
constexpr AlarmCatalogueEntry kAlarmCatalogue[kAlarmCodes] = {
    {0, "3. Ожидание удаленного запуска", 0, 0, 1, 1},
    {1, "13. Низкий уровень масла", 0, 1, 1, 0},
    {2, "14.1 Обрыв датчика уровня масла", 0, 1, 1, 0},
    {3, "5. Остановка по КЗ верхнего датчика", 0, 1, 1, 0},
    {4, "6.1 Остановка по обрыву верхнего дат.", 0, 1, 1, 0},
    {5, "9.1 Превышение времени сраб. сост. ДВ", 0, 1, 1, 0},
    {6, "9.1 Остановка по обрыву нижнего дат.", 0, 1, 1, 0},
    {7, "19. Превышение времени хода вверх", 0, 1, 1, 0},
    {8, "11.1 Одновременное срабатывание дат.", 0, 1, 1, 0},
    {9, "10.1 Превышение времени сраб. сост. ДН", 0, 1, 1, 0},
    {10, "8.1. Остановка по КЗ нижнего датчика", 0, 1, 1, 0},
    {11, "26.2 Ост. по низк. темп. ЧРП НУ%s", 0, 1, 1, 0},
    {12, "27.3 Остановка: %s", 0, 1, 1, 0},
    {13, "20.3 Останвока. Перегрузка по току ЧРП НУ%s", 0, 1, 1, 0},
    {14, "14.3 Неисправность дат. уровня масла", 0, 1, 1, 0},
    {15, "21.3 Перегрев двигателя НУ%d", 1, 1, 1, 0},
    {16, "20.2 Перегруз по току ЧРП НУ%s. АПВ №%s", 1, 1, 1, 0},
    {17, "22. Перегр. масла. Прив. будет зап. авт.", 1, 0, 1, 0},
    {18, "4. Остановка по ЭКМ", 1, 0, 1, 0},
    {19, "16.1 Превыш. нагр. на штоке. Авт. перез. прив. №%d", 1, 0, 1, 0},
    {20, "16.2 Превышение нагр. на штоке", 0, 1, 1, 0},
    {21, "23. Ошибка датчика температуры", 1, 1, 0, 0},
    {22, "15. Неисправность датчика давления", 1, 1, 0, 0},
    {23, "21.1 Перегрев двигателя НУ%d", 1, 1, 0, 0},
    {24, "11.2 Игнорирование одновр. сраб. дат.", 1, 1, 0, 0},
    {25, "18. Низкая нагрузка на штоке", 1, 1, 0, 0},
    {26, "17.1 Снижение длины хода по числу качаний", 1, 1, 0, 0},
    {27, "17.2 Снижение длины хода по времени хода вниз", 1, 1, 0, 0},
    {28, "10.2 Игнор. превыш. врем. сраб. сост. ДН", 1, 1, 0, 0},
    {29, "8.2. Игнорирование КЗ нижнего датчика", 1, 1, 0, 0},
    {30, "9.3 Игнорирование обрыва нижнего дат.", 1, 1, 0, 0},
    {31, "14.2 Отключен контроль датчика УМ", 1, 1, 0, 0},
    {32, "6.2 Отключен контроль обрыва ДВ", 1, 1, 0, 0},
    {33, "9.2 Отключен контроль обрыва ДН", 1, 1, 0, 0},
    {34, "27.1 Обрыв ЭК%d", 1, 1, 0, 0},
    {35, "27.4 Игнорирование %s", 1, 1, 0, 0},
    {36, "25. Аварийный темпер. режим работы", 1, 1, 0, 0},
    {37, "26.1 Низкая температура ЧРП НУ%d", 1, 1, 0, 0},
    {38, "24. Неисправность системы охлаждения", 1, 1, 0, 0},
    {39, "1.", 1, 1, 0, 0},
    {40, "20.1 Перегруз по току ЧРП НУ%d", 1, 1, 0, 0},
};

} // namespace

const AlarmCatalogueEntry* alarmCatalogueEntry(int32_t code) {
    if (code < 0 || code >= kAlarmCodes)
        return nullptr;
    return &kAlarmCatalogue[code];
}

AlarmRecord makeAlarm(int32_t code) {
    const AlarmCatalogueEntry* entry = alarmCatalogueEntry(code);
    return makeAlarm(code, entry ? entry->text : "");
}

AlarmRecord makeAlarm(int32_t code, std::string text) {
    AlarmRecord record;
    record.code = code;
    record.text = std::move(text);
    if (const AlarmCatalogueEntry* entry = alarmCatalogueEntry(code)) {
        record.automatic = entry->automatic;
        record.alarm = entry->alarm;
        record.stopped = entry->stopped;
        record.remote = entry->remote;
    }
    return record;
}

std::string alarmText(int32_t code, ...) {
    const AlarmCatalogueEntry* entry = alarmCatalogueEntry(code);
    if (!entry)
        return std::string();
    va_list arguments;
    va_start(arguments, code);
    std::string text = formatTextV(entry->text, arguments);
    va_end(arguments);
    return text;
}

bool alarmStopsTheDrive(int32_t code) {
    const AlarmCatalogueEntry* entry = alarmCatalogueEntry(code);
    return entry && entry->stopped != 0;
}
