// The board's thermometer is picked once, the only "10-" device when there is exactly one; the panel's
// thermometer search (DriveCommands::searchThermometer) runs the same search on demand.

#include "drive/board_thermometer.h"

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "platform/platform.h"
#include "platform/unique_fd.h"

#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char kUnit[] = "controller";

std::vector<std::string> thermometersOnTheBus() {
    std::vector<std::string> names;
    DIR* directory = ::opendir(platform::rootPath("/sys/bus/w1/devices/").c_str());
    if (!directory)
        return names;
    while (const dirent* entry = ::readdir(directory)) {
        std::string name = entry->d_name;
        if (name.rfind("10-", 0) == 0)
            names.push_back(name);
    }
    ::closedir(directory);
    return names;
}

void writeIdFile(const std::string& id) {
    platform::UniqueFd fd(::open(platform::rootPath("/etc/thermSensorId").c_str(),
                                 O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    std::string line = id + "\n";
    if (fd && ::write(fd.get(), line.data(), line.size()) < 0) {
        // The id is in the main file as well.
    }
}

} // namespace

void selectBoardThermometer() {
    if (!gConfig->thermSensorId.empty())
        return;
    searchBoardThermometer();
}

int searchBoardThermometer() {
    std::vector<std::string> names = thermometersOnTheBus();
    if (names.empty()) {
        LOG_MSG(LOG_WARNING, kUnit, "Не найден сенсор температурный платы");
        return 0;
    }
    if (names.size() > 1) {
        LOG_MSG(LOG_WARNING, kUnit, "Обнаружено несколько сенсоров температуры");
        return static_cast<int>(names.size());
    }
    gConfig->thermSensorId = names.front();
    LOG_MSG(LOG_INFO, kUnit, "Сохранен температурный датчик %s как датчик платы KVB-210",
            names.front().c_str());
    writeIdFile(names.front());
    gConfig->save();
    return 1;
}
