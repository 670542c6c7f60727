#include "config/config_time_zone.h"

#include "config/setting_change.h"

#include <cstdlib>
#include <ctime>

namespace {

struct TimeZone {
    const char* label;
    const char* tz;
};

// clang-format off
const TimeZone kTimeZones[kTimeZoneCount] = {
    {"UTC-11:00 (Мидвей, Ниуэ)", "SST11"}, // 0
    {"UTC-10:00 (Гонолулу, Таити)", "HST10"}, // 1
    {"UTC-10:00 (Адак)", "HAST10HADT"}, // 2
    {"UTC-09:00 (Гамбиер)", "GAMT9"}, // 3
    {"UTC-09:00 (Анкоридж, Ситка)", "AKST9AKDT"}, // 4
    {"UTC-09:30 (Маркизские острова)", "MART9:30"}, // 5
    {"UTC-08:00 (Метлакатла, Питкэрн)", "PST8"}, // 6
    {"UTC-08:00 (Лос-Анджелес, Ванкувер)", "PST8PDT"}, // 7
    {"UTC-07:00 (Феникс, Доусон-Крик)", "MST7"}, // 8
    {"UTC-07:00 (Денвер, Эдмонтон)", "MST7MDT"}, // 9
    {"UTC-07:00 (Чихуахуа, Мерида)", "MST7MDT"}, // 10
    {"UTC-06:00 (Манагуа, Коста-Рика)", "CST6"}, // 11
    {"UTC-06:00 (Виннипег, Нокс)", "CST6CDT"}, // 12
    {"UTC-06:00 (Мехико, Монтеррей)", "CST6CDT"}, // 13
    {"UTC-05:00 (Ямайка, Панама)", "EST5"}, // 14
    {"UTC-05:00 (Нью-Йорк, Торонто)", "EST5EDT"}, // 15
    {"UTC-05:00 (Гавана)", "CST5CDT"}, // 16
    {"UTC-04:30 (Каракас)", "VET4:30"}, // 17
    {"UTC-04:00 (Барбадос, Доминика)", "AST4"}, // 18
    {"UTC-04:00 (Бермуды, Галифакс)", "AST4ADT"}, // 19
    {"UTC-03:30 (Сент-Джонс)", "NST3:30NDT"}, // 20
    {"UTC-03:00 (Аргентина, Форталеза)", "ART3"}, // 21
    {"UTC-03:00 (Сан-Паулу)", "BRT3BRST"}, // 22
    {"UTC-02:00 (Норонья, Юж. Джорджия)", "FNT2"}, // 23
    {"UTC-01:00 (Кабо-Верде)", "CVT1"}, // 24
    {"UTC-01:00 (Скорсбисунн, Азорские о-ва)", "EGT1EGST"}, // 25
    {"UTC (Абиджан, Рейкьявик, GMT)", "GMT0"}, // 26
    {"UTC (Лондон, Дублин, Лиссабон)", "GMT0IST"}, // 27
    {"UTC (Касабланка)", "WET0WEST"}, // 28
    {"UTC+01:00 (Алжир, Браззавиль)", "CET-1"}, // 29
    {"UTC+01:00 (Берлин, Амстердам)", "CET-1CEST"}, // 30
    {"UTC+01:00 (Виндхук)", "WAT-1WAST"}, // 31
    {"UTC+02:00 (Калининград, Хараре)", "EET-2"}, // 32
    {"UTC+02:00 (Киев, Рига, Таллинн)", "EET-2EEST"}, // 33
    {"UTC+03:00 (Минск, Москва)", "AST-3"}, // 34
    {"UTC+04:00 (Самара, Дубай, Ереван)", "GST-4"}, // 35
    {"UTC+04:00 (Баку)", "AZT-4AZST"}, // 36
    {"UTC+04:30 (Кабул)", "AFT-4:30"}, // 37
    {"UTC+05:00 (Екатеринбург, Ташкент)", "YEKT-5"}, // 38
    {"UTC+05:30 (Коломбо, Калькутта)", "IST-5:30"}, // 39
    {"UTC+05:45 (Катманду)", "NPT-5:45"}, // 40
    {"UTC+06:00 (Новосибирск, Омск)", "ALMT-6"}, // 41
    {"UTC+06:30 (Рангун, Кокосовые о-ва)", "MMT-6:30"}, // 42
    {"UTC+07:00 (Красноярск)", "ICT-7"}, // 43
    {"UTC+08:00 (Сингапур, Чита, Иркутск)", "BNT-8"}, // 44
    {"UTC+09:00 (Пхеньян, Сеул, Якутск)", "TLT-9"}, // 45
    {"UTC+09:30 (Дарвин)", "ACST-9:30"}, // 46
    {"UTC+09:30 (Аделаида, Брокен-Хилл)", "ACST-9:30ACDT"}, // 47
    {"UTC+10:00 (Магадан, Сахалин)", "MAGT-10"}, // 48
    {"UTC+10:00 (Хобарт, Мельбурн)", "AEST-10AEDT"}, // 49
    {"UTC+10:30 (Лорд-Хау)", "LHST-10:30LHDT-11"}, // 50
    {"UTC+11:00 (Среднеколымск, Эфате)", "SRET-11"}, // 51
    {"UTC+11:30 (Норфолк)", "NFT-11:30"}, // 52
    {"UTC+12:00 (Анадырь, Камчатка)", "ANAT-12"}, // 53
    {"UTC+12:00 (Окленд)", "NZST-12NZDT"}, // 54
    {"UTC+13:00 (Факаофо, Тонгатапу)", "PHOT-13"}, // 55
    {"UTC+13:00 (Апиа)", "WSST-13WSDT"}, // 56
    {"UTC+14:00 (Кирибати)", "LINT-14"}, // 57
};
// clang-format on

} // namespace

const char* timeZoneString(int32_t index) {
    if (index < 0 || index >= kTimeZoneCount)
        return nullptr;
    return kTimeZones[index].tz;
}

int32_t timeZoneIndex(const std::string& tz) {
    for (int32_t index = 0; index < kTimeZoneCount; ++index)
        if (tz == kTimeZones[index].tz)
            return index;
    return -1;
}

void applyTimeZone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
}

ConfigTimeZone::ConfigTimeZone(std::string label, int32_t defaultIndex, bool autosave)
    : ConfigSelect(std::move(label), defaultIndex, autosave) {
    for (const TimeZone& zone : kTimeZones)
        options.push_back(zone.label);
}

int32_t ConfigTimeZone::set(int32_t index) {
    int32_t old = 0;
    if (!takeIndex(index, old))
        return current;
    applyTimeZone(kTimeZones[index].tz);
    saveAfterChange(autosave);
    return index;
}
