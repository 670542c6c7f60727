#include "sim/sim_thermometer.h"

#include "core/registry.h"
#include "daemon/registry.h"
#include "drive/controller.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "sim/sandbox.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

SimThermometer::SimThermometer(const PlantModel& plant)
    : plant_(plant), lastGoodMs_(platform::monotonicMs()) {
    std::string path =
        platform::rootPath(std::string("/sys/devices/w1_bus_master1/") + kSimOilThermometer + "/w1_slave");
    file_.reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    struct stat status {};
    if (file_ && ::fstat(file_.get(), &status) == 0)
        fileLength_ = static_cast<size_t>(status.st_size);
    tick();
}

void SimThermometer::writeReading(const std::string& text) {
    if (!file_)
        return;
    // One write from the start, then the file cut to the reading's length only when it got shorter: a
    // reader sees a whole reading at every moment (at worst with the old last newline after it), and
    // the file is never emptied, which would cost a write-back of the file system at every second.
    if (::pwrite(file_.get(), text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()))
        return;
    if (text.size() < fileLength_ && ::ftruncate(file_.get(), static_cast<off_t>(text.size())) != 0)
        return;
    fileLength_ = text.size();
}

void SimThermometer::tick() {
    timer_.start("sim-thermometer", kPeriodMs, [this] { tick(); });
    writeReading(w1SlaveText(plant_.oilCelsius(), !failing_));
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
