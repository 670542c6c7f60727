#include "tests/support/test_board.h"

#include "sim/sandbox.h"

#include <stdexcept>

TestBoard::TestBoard(uint64_t startMs) {
    std::string error;
    if (!prepareSandbox(sandbox_.path(), error))
        throw std::runtime_error(error);
    auto clock = std::make_unique<platform::VirtualClock>(startMs);
    clock_ = clock.get();
    platform_ = std::make_unique<platform::SimPlatform>(sandbox_.path(), std::move(clock));
    // A daemon under test listens on a port the system picks, so tests running side by side never
    // compete for one.
    platform_->ports.modbusTcp = 0;
    platform_->ports.http = 0;
    platform_->ports.https = 0;
    platform_->setLogObserver([this](int priority, const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(LogLine{priority, text});
    });
    scope_ = std::make_unique<platform::PlatformScope>(*platform_);
}

TestBoard::~TestBoard() {
    scope_.reset();
    platform_->setLogObserver(nullptr);
}

std::vector<LogLine> TestBoard::logLines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

std::vector<std::string> TestBoard::logLinesWith(int priority, const std::string& fragment) {
    std::vector<std::string> found;
    for (const LogLine& line : logLines())
        if (line.priority == priority && line.text.find(fragment) != std::string::npos)
            found.push_back(line.text);
    return found;
}

void TestBoard::clearLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
}
