#pragma once
// A simulated board for tests: a sandbox directory, a virtual clock, and every log line captured.

#include "platform/platform.h"
#include "platform/sim_platform.h"
#include "platform/virtual_clock.h"
#include "tests/support/temp_dir.h"

#include <mutex>
#include <string>
#include <syslog.h>
#include <vector>

struct LogLine {
    int priority;
    std::string text;
};

class TestBoard {
public:
    // startMs: the virtual monotonic clock's first reading.
    explicit TestBoard(uint64_t startMs = 1000000);
    ~TestBoard();

    platform::SimPlatform& platform() { return *platform_; }
    platform::VirtualClock& clock() { return *clock_; }
    // A path inside the sandbox, given as the board would see it ("/var/log/events").
    std::string path(const std::string& absolute) const { return sandbox_.path() + absolute; }

    std::vector<LogLine> logLines();
    // Lines at this priority whose text contains the fragment.
    std::vector<std::string> logLinesWith(int priority, const std::string& fragment);
    void clearLog();

private:
    TempDir sandbox_;
    platform::VirtualClock* clock_;
    std::unique_ptr<platform::SimPlatform> platform_;
    std::unique_ptr<platform::PlatformScope> scope_;
    std::mutex mutex_;
    std::vector<LogLine> lines_;
};
