#include "sim/sim_one_wire_bus.h"

#include "platform/platform.h"
#include "sim/sandbox.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kDevices[] = "/sys/devices/w1_bus_master1/";
const char kBusDevices[] = "/sys/bus/w1/devices/";
// The board's own sensor sits in the cabinet.
constexpr double kBoardCelsius = 36.5;
constexpr size_t kMaxSerialDigits = 16;

std::string devicePath(const std::string& id) {
    return platform::rootPath(kDevices + id);
}

bool writeWhole(const std::string& path, const std::string& text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    return ::close(fd) == 0 && written;
}

} // namespace

SimOneWireBus::SimOneWireBus(const PlantModel& plant) : plant_(plant) {
    sensors_.push_back({kSimBoardThermometer, false, kBoardCelsius, true, ""});
    sensors_.push_back({kSimOilThermometer, true, 0.0, true, ""});
    tick();
}

bool SimOneWireBus::validId(const std::string& id) {
    if (id.size() < 4 || id.size() > 3 + kMaxSerialDigits || id[2] != '-')
        return false;
    for (size_t i = 0; i < id.size(); ++i) {
        char c = id[i];
        if (i != 2 && !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

SimOneWireBus::Sensor* SimOneWireBus::find(const std::string& id) {
    auto it = std::find_if(sensors_.begin(), sensors_.end(), [&](const Sensor& s) { return s.id == id; });
    return it == sensors_.end() ? nullptr : &*it;
}

bool SimOneWireBus::add(const std::string& id, double celsius, std::string& error) {
    if (!validId(id)) {
        error = "malformed 1-wire id " + id;
        return false;
    }
    if (find(id)) {
        error = id + " is on the bus already";
        return false;
    }
    Sensor sensor{id, id == kSimOilThermometer, celsius, true, ""};
    settleReader();
    if (::mkdir(devicePath(id).c_str(), 0755) != 0 && errno != EEXIST) {
        error = "cannot make " + devicePath(id) + ": " + strerror(errno);
        return false;
    }
    if (!write(sensor, error))
        return false;
    // Relative, as the kernel's links are.
    std::string link = platform::rootPath(kBusDevices + id);
    ::unlink(link.c_str());
    if (::symlink(("../../../devices/w1_bus_master1/" + id).c_str(), link.c_str()) != 0) {
        error = "cannot link " + link + ": " + strerror(errno);
        return false;
    }
    sensors_.push_back(sensor);
    return true;
}

bool SimOneWireBus::remove(const std::string& id) {
    settleReader();
    auto it = std::find_if(sensors_.begin(), sensors_.end(), [&](const Sensor& s) { return s.id == id; });
    if (it == sensors_.end())
        return false;
    sensors_.erase(it);
    ::unlink(platform::rootPath(kBusDevices + id).c_str());
    ::unlink((devicePath(id) + "/w1_slave").c_str());
    ::unlink((devicePath(id) + "/w1_slave.tmp").c_str());
    ::rmdir(devicePath(id).c_str());
    return true;
}

bool SimOneWireBus::setCrcGood(const std::string& id, bool good) {
    Sensor* sensor = find(id);
    if (!sensor)
        return false;
    sensor->crcGood = good;
    std::string error;
    write(*sensor, error);
    return true;
}

bool SimOneWireBus::setCelsius(const std::string& id, double celsius) {
    Sensor* sensor = find(id);
    if (!sensor || sensor->followsOil)
        return false;
    sensor->celsius = celsius;
    std::string error;
    write(*sensor, error);
    return true;
}

std::string SimOneWireBus::describe() const {
    std::string text;
    for (const Sensor& sensor : sensors_) {
        char line[96];
        std::snprintf(line, sizeof line, "%s%s %.3f %s", text.empty() ? "" : ", ", sensor.id.c_str(),
                      reading(sensor), sensor.crcGood ? "YES" : "NO");
        text += line;
    }
    return text;
}

// The daemon's thermometer thread reads these files: on the virtual clock it may still be running the
// step of an earlier moment, which must not see what this moment writes.
void SimOneWireBus::settleReader() {
    if (platform::gPlatform)
        platform::gPlatform->clock().settleWorkers();
}

double SimOneWireBus::reading(const Sensor& sensor) const {
    return sensor.followsOil ? plant_.oilCelsius() : sensor.celsius;
}

void SimOneWireBus::tick() {
    timer_.start("sim-one-wire", kPeriodMs, [this] { tick(); });
    std::string error;
    for (Sensor& sensor : sensors_)
        write(sensor, error);
}

// Written under a temporary name and renamed, so that the daemon's worker, reading on its own thread,
// sees one whole reading as it would from the kernel.
bool SimOneWireBus::write(Sensor& sensor, std::string& error) {
    std::string text = w1SlaveText(reading(sensor), sensor.crcGood);
    if (text == sensor.written)
        return true;
    settleReader();
    std::string path = devicePath(sensor.id) + "/w1_slave";
    if (!writeWhole(path + ".tmp", text) || ::rename((path + ".tmp").c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + strerror(errno);
        return false;
    }
    sensor.written = text;
    return true;
}
