#include "tests/fuzz/fuzz_config.h"

#include "config/config_flags_group.h"
#include "config/storable_text.h"
#include "core/epoller.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "tests/fuzz/fuzz_board.h"

#include <cstdio>
#include <sys/stat.h>

namespace {

struct SavedFiles {
    std::string main;
    std::string perf;
};

const SavedFiles& savedFiles() {
    static const SavedFiles files = [] {
        FuzzBoard& board = FuzzBoard::get();
        std::remove(board.path("/etc/velkord").c_str());
        std::remove(board.path("/etc/velkord_perf").c_str());
        Config config(board.path("/etc/velkord"), board.path("/etc/velkord_perf"));
        config.save();
        config.savePerf();
        return SavedFiles{readWholeFile(board.path("/etc/velkord")),
                          readWholeFile(board.path("/etc/velkord_perf"))};
    }();
    return files;
}

// Every value the configuration holds, as bytes, with the identity of both files: a save replaces a
// file by a renamed new one, so its inode changes even when its content does not.
std::string stateOf(const Config& config, FuzzBoard& board) {
    std::string state;
    auto append = [&state](const void* bytes, size_t size) {
        state.append(static_cast<const char*>(bytes), size);
    };
    for (const SettingEntry& entry : config.settings()) {
        if (auto* number = std::get_if<ConfigFloat*>(&entry.setting)) {
            append(&(*number)->value, sizeof(float));
        } else if (auto* text = std::get_if<ConfigString*>(&entry.setting)) {
            state += (*text)->value;
            state += '\0';
        } else if (auto* select = std::get_if<ConfigSelect*>(&entry.setting)) {
            append(&(*select)->current, sizeof(int32_t));
        } else if (auto* flags = std::get_if<ConfigFlagsGroup*>(&entry.setting)) {
            append(&(*flags)->mask, sizeof(uint64_t));
        } else if (auto* plain = std::get_if<std::string*>(&entry.setting)) {
            state += **plain;
            state += '\0';
        }
    }
    state += config.thermSensorId;
    state += '\0';
    append(&config.workControl.mask, sizeof(uint64_t));
    for (const char* file : {"/etc/velkord", "/etc/velkord_perf"}) {
        struct stat status {};
        if (stat(board.path(file).c_str(), &status) != 0)
            status.st_ino = 0;
        append(&status.st_ino, sizeof(status.st_ino));
        append(&status.st_size, sizeof(status.st_size));
    }
    return state;
}

} // namespace

std::unique_ptr<Config>& defaultConfig() {
    static std::string loaded;
    static std::unique_ptr<Config>* kept = nullptr;
    FuzzBoard& board = FuzzBoard::get();
    if (kept && *kept && gConfig == kept->get() && stateOf(**kept, board) == loaded)
        return *kept;
    kept = &freshConfig();
    loaded = stateOf(**kept, board);
    return *kept;
}

const std::string& defaultMainFile() {
    return savedFiles().main;
}

std::unique_ptr<Config>& freshConfig(const std::string* mainFile) {
    static std::unique_ptr<Config> config;
    FuzzBoard& board = FuzzBoard::get();
    const SavedFiles& files = savedFiles();
    gConfig = nullptr;
    config.reset();
    writeWholeFile(board.path("/etc/velkord"), mainFile ? *mainFile : files.main);
    writeWholeFile(board.path("/etc/velkord_perf"), files.perf);
    config = std::make_unique<Config>(board.path("/etc/velkord"), board.path("/etc/velkord_perf"));
    gConfig = config.get();
    return config;
}

bool settingsValid(const Config& config, std::string& offender) {
    for (const SettingEntry& entry : config.settings()) {
        bool valid = true;
        if (auto* number = std::get_if<ConfigFloat*>(&entry.setting)) {
            const ConfigFloat& n = **number;
            valid = (n.value >= n.minValue && n.value <= n.maxValue) || n.value == n.defaultValue;
        } else if (auto* text = std::get_if<ConfigString*>(&entry.setting)) {
            valid = isStorableText((*text)->value);
        } else if (auto* select = std::get_if<ConfigSelect*>(&entry.setting)) {
            int32_t current = (*select)->current;
            valid = current >= 0 && static_cast<size_t>(current) < (*select)->options.size();
        }
        if (!valid) {
            offender = entry.info->key;
            return false;
        }
    }
    if (!config.thermSensorId.empty() && !isStorableText(config.thermSensorId)) {
        offender = "thermSensorId";
        return false;
    }
    return true;
}

TimerQueue& fuzzTimers() {
    static TimerQueue* timers = [] {
        FuzzBoard::get();
        if (!EPoller::init())
            fuzzFailure("no epoll set");
        gTimers = new TimerQueue;
        return gTimers;
    }();
    return *timers;
}
