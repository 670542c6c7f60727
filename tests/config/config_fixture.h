#pragma once
// A sandboxed board for configuration tests: the file paths, the journal, loading as the daemon does.

#include "config/config.h"
#include "core/journal.h"
#include "core/registry.h"
#include "tests/support/test_board.h"
#include "tests/support/time_zone_guard.h"

#include <gtest/gtest.h>
#include <memory>
#include <sstream>

class ConfigFixture : public ::testing::Test {
protected:
    ~ConfigFixture() override {
        gConfig = nullptr;
        setJournalParameterLine(nullptr);
        journalClose();
    }

    // Built and loaded, not registered: its setters save nothing.
    std::unique_ptr<Config> load() { return std::make_unique<Config>(mainPath(), perfPath()); }
    // Built, loaded and registered as gConfig, as at start-up.
    std::unique_ptr<Config> start() {
        std::unique_ptr<Config> config = load();
        gConfig = config.get();
        return config;
    }

    std::string mainPath() { return board.path("/etc/velkord"); }
    std::string perfPath() { return board.path("/etc/velkord_perf"); }
    std::string mainFile() { return readFile(mainPath()); }
    void writeMain(const std::string& body) {
        writeFile(mainPath(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>" + body + "</config>\n");
    }

    // The journal's entries without their time stamps.
    std::vector<std::string> journal() {
        std::vector<std::string> entries;
        std::istringstream lines(readFile(board.path("/var/log/events")));
        for (std::string line; std::getline(lines, line);)
            entries.push_back(line.size() > 16 ? line.substr(16) : line);
        return entries;
    }

    TimeZoneGuard timeZoneGuard;
    TestBoard board;
};

// Whether text holds fragment.
inline bool contains(const std::string& text, const std::string& fragment) {
    return text.find(fragment) != std::string::npos;
}
