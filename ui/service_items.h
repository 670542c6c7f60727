#pragma once
// The service actions of the settings menu: restart of the daemon, reboot of the board, reset of the
// performance parameters, factory reset, the settings download to the drives and the search for the
// board's thermometer.

#include "ui/service_item.h"

class Config;
class DriveCommands;

namespace platform {
class SystemControl;
}

class Restart : public ServiceItem {
public:
    explicit Restart(platform::SystemControl& system) : ServiceItem("Рестарт velkord"), system_(system) {}

protected:
    std::vector<MessageLine> act() override;
    void afterShown() override;

private:
    platform::SystemControl& system_;
};

class Reboot : public ServiceItem {
public:
    explicit Reboot(platform::SystemControl& system) : ServiceItem("Перезагрузка"), system_(system) {}

protected:
    std::vector<MessageLine> act() override;
    void afterShown() override;

private:
    platform::SystemControl& system_;
};

class ResetPP : public ServiceItem {
public:
    explicit ResetPP(DriveCommands& drive)
        : ServiceItem("Сброс параметров производительности"), drive_(drive) {}

protected:
    std::vector<MessageLine> act() override;

private:
    DriveCommands& drive_;
};

class FactoryReset : public ServiceItem {
public:
    explicit FactoryReset(Config& config) : ServiceItem("Сброс к заводским настройкам"), config_(config) {}

protected:
    std::vector<MessageLine> act() override;

private:
    Config& config_;
};

class WriteVFD : public ServiceItem {
public:
    explicit WriteVFD(DriveCommands& drive) : ServiceItem("Записать настройки в ЧРП"), drive_(drive) {}

protected:
    std::vector<MessageLine> act() override;

private:
    DriveCommands& drive_;
};

class ResetTermometer : public ServiceItem {
public:
    ResetTermometer(DriveCommands& drive, const Config& config)
        : ServiceItem("Запомнить внутренний термометр"), drive_(drive), config_(config) {}

protected:
    std::vector<MessageLine> act() override;

private:
    DriveCommands& drive_;
    const Config& config_;
};
