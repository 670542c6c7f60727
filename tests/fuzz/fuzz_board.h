#pragma once
// The simulated board of a fuzz harness: one sandbox directory for the whole run (in /dev/shm), a virtual
// clock, and the log lines of the input being tried. Made on first use, removed when the process exits.

#include "platform/sim_platform.h"
#include "platform/virtual_clock.h"

#include <string>
#include <vector>

class FuzzBoard {
public:
    static FuzzBoard& get();

    platform::SimPlatform& platform() { return *platform_; }
    platform::VirtualClock& clock() { return *clock_; }
    // A path inside the sandbox, given as the board would see it ("/etc/velkord").
    std::string path(const std::string& absolute) const { return root_ + absolute; }
    const std::string& root() const { return root_; }

    // Log lines since the last clearLog (their count is capped; only the first are kept).
    const std::vector<std::string>& logLines() const { return lines_; }
    void clearLog() { lines_.clear(); }

    ~FuzzBoard();

private:
    FuzzBoard();

    std::string root_;
    platform::VirtualClock* clock_ = nullptr;
    std::unique_ptr<platform::SimPlatform> platform_;
    std::unique_ptr<platform::PlatformScope> scope_;
    std::vector<std::string> lines_;
};

// Fuzz-harness failures: the message to stderr, then abort, which libFuzzer reports with the input.
[[noreturn]] void fuzzFailure(const std::string& message);
#define FUZZ_CHECK(condition, message)                                                                       \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            fuzzFailure(std::string(#condition ": ") + (message));                                           \
    } while (0)

std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::string& content);
