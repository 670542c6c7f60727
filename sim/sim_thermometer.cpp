#include "sim/sim_thermometer.h"

#include "core/registry.h"
#include "daemon/registry.h"
#include "drive/controller.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "sim/sandbox.h"

#include <cstdio>
#include <string>

SimThermometer::SimThermometer(const PlantModel& plant)
    : plant_(plant), lastGoodMs_(platform::monotonicMs()) {
    tick();
}

void SimThermometer::tick() {
    timer_.start("sim-thermometer", kPeriodMs, [this] { tick(); });
    std::string path =
        platform::rootPath(std::string("/sys/devices/w1_bus_master1/") + kSimOilThermometer + "/w1_slave");
    std::string text = w1SlaveText(plant_.oilCelsius(), !failing_);
    if (FILE* file = std::fopen(path.c_str(), "w")) {
        std::fputs(text.c_str(), file);
        std::fclose(file);
    }
    // Until the daemon reads the sensor itself, the controller is fed here the way its thermometer
    // worker feeds it: every good reading, and a failed sensor after 90 s without one.
    if (!gController)
        return;
    uint32_t now = platform::monotonicMs();
    if (!failing_) {
        lastGoodMs_ = now;
        gController->onOilTemperature(static_cast<float>(plant_.oilCelsius()));
        if (!gController->temperatureSensorGood())
            gController->setTemperatureSensorState(true);
        return;
    }
    if (gController->temperatureSensorGood() && now - lastGoodMs_ > kFailAfterMs)
        gController->setTemperatureSensorState(false);
}
