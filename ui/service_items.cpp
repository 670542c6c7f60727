#include "ui/service_items.h"

#include "config/config.h"
#include "core/log.h"
#include "drive/drive_commands.h"
#include "platform/system_control.h"

namespace {

const char kUnit[] = "mainScreen";

} // namespace

std::vector<ServiceItem::MessageLine> Restart::act() {
    return {{"Выполняется рестарт,", 30, 20}, {"подождите...", 40, 40}};
}

// The init script stops this daemon and starts a new one; until then it runs on.
void Restart::afterShown() {
    if (system_.restartDaemon() != 0)
        LOG_MSG(LOG_ERR, kUnit, "fork error");
}

std::vector<ServiceItem::MessageLine> Reboot::act() {
    return {{"Выполняется перезагрузка,", 0, 20}, {"подождите...", 0, 40}};
}

void Reboot::afterShown() {
    if (system_.reboot() != 0)
        LOG_MSG(LOG_ERR, kUnit, "fork error");
}

std::vector<ServiceItem::MessageLine> ResetPP::act() {
    drive_.resetPerformanceParameters();
    return {{"Параметры производи-", 30, 20}, {"тельности сброшены", 40, 40}};
}

std::vector<ServiceItem::MessageLine> FactoryReset::act() {
    {
        // Each setter journals its own change; the file is written once for all of them.
        Config::SaveBatch batch(&config_);
        config_.factoryReset();
    }
    return {{"Сброс к заводским", 30, 20}, {"настройкам выполнен.", 20, 40}};
}

std::vector<ServiceItem::MessageLine> WriteVFD::act() {
    drive_.writeDriveParameters();
    return {{"Запись настроек", 30, 20}, {"в ЧРП инициирована.", 20, 40}};
}

std::vector<ServiceItem::MessageLine> ResetTermometer::act() {
    int found = drive_.searchThermometer();
    if (found == 0)
        return {{"Ошибка:", 70, 20}, {"Датчик температуры", 20, 40}, {"не найден", 20, 60}};
    if (found == 1)
        return {{"Датчик температуры", 25, 20},
                {config_.thermSensorId, 40, 40},
                {"записан в конфиг-файл", 20, 60}};
    return {{"Ошибка:", 70, 20}, {"более одного датчика", 25, 40}, {"на шине", 25, 60}};
}
