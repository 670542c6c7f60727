#pragma once
// The configuration of a fuzz harness: every input starts from the same saved files, so what one
// input writes never changes how the next is handled.

#include "config/config.h"

#include <memory>

// The main and performance files written afresh (as the defaults saved once, or `mainFile` when
// given), then loaded into a Config registered as gConfig. The previous one is destroyed first.
std::unique_ptr<Config>& freshConfig(const std::string* mainFile = nullptr);
// The same as freshConfig() without a mainFile, but the Config the previous input left is kept when
// it still holds what was loaded and neither file was written since: loading costs far more than
// most inputs.
std::unique_ptr<Config>& defaultConfig();
// What the main file holds after the defaults were saved.
const std::string& defaultMainFile();
// Whether every setting holds a value its type allows; the first one that does not, otherwise.
bool settingsValid(const Config& config, std::string& offender);

class TimerQueue;
// The event loop's epoll set and a timer queue as gTimers, made once; timers run on the board's clock.
TimerQueue& fuzzTimers();
