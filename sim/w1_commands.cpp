// Control commands of the simulated 1-wire bus, so that the thermometer search can meet no sensor,
// one or several:
//   w1 add ID       a sensor appears: its device directory with a reading and its link in
//                   "/sys/bus/w1/devices/"
//   w1 remove ID    the sensor leaves the bus (its link goes; the device directory is kept)
//   w1 list         the ids on the bus, "ok ID ID ..."

#include "platform/platform.h"
#include "sim/sandbox.h"
#include "sim/sim_session.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Arguments = std::vector<std::string>;

const char kBusDirectory[] = "/sys/bus/w1/devices/";
const char kDeviceDirectory[] = "/sys/devices/w1_bus_master1/";

// A 1-wire id is a family code, a dash and twelve hex digits; nothing that could leave the directory.
bool validId(const std::string& id) {
    if (id.size() != 15 || id[2] != '-')
        return false;
    for (size_t i = 0; i < id.size(); ++i)
        if (i != 2 && !std::isxdigit(static_cast<unsigned char>(id[i])))
            return false;
    return true;
}

std::vector<std::string> idsOnTheBus() {
    std::vector<std::string> ids;
    DIR* directory = ::opendir(platform::rootPath(kBusDirectory).c_str());
    if (!directory)
        return ids;
    while (const dirent* entry = ::readdir(directory))
        if (entry->d_name[0] != '.')
            ids.emplace_back(entry->d_name);
    ::closedir(directory);
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::string addSensor(const std::string& id) {
    for (const char* directory :
         {"/sys", "/sys/bus", "/sys/bus/w1", kBusDirectory, "/sys/devices", kDeviceDirectory})
        if (::mkdir(platform::rootPath(directory).c_str(), 0755) != 0 && errno != EEXIST)
            return std::string("error cannot create ") + directory + ": " + strerror(errno);
    std::string device = platform::rootPath(kDeviceDirectory + id);
    if (::mkdir(device.c_str(), 0755) != 0 && errno != EEXIST)
        return std::string("error cannot create the device: ") + strerror(errno);
    std::string reading = w1SlaveText(21.5, true);
    int fd = ::open((device + "/w1_slave").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return std::string("error cannot write the reading: ") + strerror(errno);
    bool written = ::write(fd, reading.data(), reading.size()) == static_cast<ssize_t>(reading.size());
    ::close(fd);
    if (!written)
        return "error cannot write the reading";
    std::string link = platform::rootPath(kBusDirectory + id);
    std::string target = std::string("../../../devices/w1_bus_master1/") + id;
    if (::symlink(target.c_str(), link.c_str()) != 0 && errno != EEXIST)
        return std::string("error cannot link the device: ") + strerror(errno);
    return "ok";
}

std::string removeSensor(const std::string& id) {
    if (::unlink(platform::rootPath(kBusDirectory + id).c_str()) != 0)
        return "error no sensor " + id + " on the bus";
    return "ok";
}

} // namespace

void addW1Commands(ControlServer& control) {
    control.addCommand("w1", [](const Arguments& arguments) -> std::string {
        if (arguments.size() == 1 && arguments[0] == "list") {
            std::string answer = "ok";
            for (const std::string& id : idsOnTheBus())
                answer += " " + id;
            return answer;
        }
        if (arguments.size() != 2 || !validId(arguments[1]))
            return "error usage: w1 add|remove ID (ID like 10-000802b4e1a7) | w1 list";
        if (arguments[0] == "add")
            return addSensor(arguments[1]);
        if (arguments[0] == "remove")
            return removeSensor(arguments[1]);
        return "error unknown w1 action " + arguments[0];
    });
}
