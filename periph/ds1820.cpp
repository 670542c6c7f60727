#include "periph/ds1820.h"

#include "config/config.h"
#include "core/log.h"
#include "drive/oil_temperature_input.h"
#include "periph/exchange_file.h"
#include "platform/clock.h"
#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace {

const char kUnit[] = "ds1820";
const char kDevices[] = "/sys/bus/w1/devices/";
const char kSensorFile[] = "/tmp/w1_sensor";
const char kResultFile[] = "/tmp/w1_result";
const char kFamilyPrefix[] = "10-";

bool isLink(const std::string& directory, const dirent& entry) {
    if (entry.d_type != DT_UNKNOWN)
        return entry.d_type == DT_LNK;
    struct stat status {};
    return ::lstat((directory + entry.d_name).c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

// A result line that is a whole finite number; anything else counts as no reading.
bool parseResult(const std::string& line, float& celsius) {
    if (line.empty() || line == "error")
        return false;
    char* end = nullptr;
    celsius = std::strtof(line.c_str(), &end);
    return *end == '\0' && std::isfinite(celsius);
}

} // namespace

bool OneWireDevices::findOilSensor(const std::string& boardSensorId, std::string& sensor) {
    std::vector<std::string> names;
    if (!list(boardSensorId, names)) {
        // Gone since it was opened, or never opened: opened afresh.
        open_.reset(::opendir(directory_.c_str()));
        if (!open_ || !list(boardSensorId, names))
            return false;
    }
    // The directory's order is the file system's: by name, the same sensor is chosen every time.
    std::sort(names.begin(), names.end());
    sensor = names.empty() ? std::string() : names.front();
    return true;
}

bool OneWireDevices::list(const std::string& boardSensorId, std::vector<std::string>& names) {
    if (!open_)
        return false;
    ::rewinddir(open_.get());
    bool anyEntry = false;
    while (const dirent* entry = ::readdir(open_.get())) {
        anyEntry = true;
        std::string name = entry->d_name;
        if (name == boardSensorId || name.rfind(kFamilyPrefix, 0) != 0 || !isLink(directory_, *entry))
            continue;
        names.push_back(name);
    }
    return anyEntry;
}

DS1820::DS1820(OilTemperatureInput* drive, const Config& config)
    : drive_(drive), config_(config), lastGoodMs_(platform::monotonicMs()),
      sensorFile_(platform::rootPath(kSensorFile)), resultFile_(platform::rootPath(kResultFile)),
      devices_(platform::rootPath(kDevices)) {
    worker_ = std::make_unique<DS1820Worker>(platform::gPlatform->clock(), platform::rootPath(""));
    poll();
}

DS1820::~DS1820() {
    timer_.cancel();
    worker_.reset();
}

void DS1820::poll() {
    // The worker shares the exchange files: where it runs beside the main loop on a simulated clock,
    // its step ends first.
    platform::gPlatform->clock().settleWorkers();
    chooseSensor();
    if (drive_)
        takeResult();
    timer_.start("therm", kPollMs, [this] { poll(); });
}

void DS1820::chooseSensor() {
    std::string sensor;
    if (!devices_.findOilSensor(config_.thermSensorId, sensor))
        return;
    std::string line = sensor.empty() ? std::string() : std::string(kDevices) + sensor + "/w1_slave";
    if (sensorFile_.write(line + "\n", platform::monotonicMs())) {
        sensorFileFailureLogged_ = false;
        return;
    }
    // Said once until it works again, not every second.
    if (sensorFileFailureLogged_)
        return;
    sensorFileFailureLogged_ = true;
    LOG_MSG(LOG_ERR, kUnit, "cannot write %s: %s", kSensorFile, strerror(errno));
}

void DS1820::takeResult() {
    std::string line;
    float celsius = 0;
    uint32_t now = platform::monotonicMs();
    if (resultFile_.read(line) && parseResult(line, celsius)) {
        drive_->onOilTemperature(celsius);
        lastGoodMs_ = now;
        if (!drive_->temperatureSensorGood())
            drive_->setTemperatureSensorState(true);
        return;
    }
    if (drive_->temperatureSensorGood() && now - lastGoodMs_ > kRideThroughMs)
        drive_->setTemperatureSensorState(false);
}
