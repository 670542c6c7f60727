#pragma once
// Scenarios: control-socket commands, each at a moment of simulated time, read from a text file.
//
//   # comment
//   setting araDelay 1          run once the daemon is up
//   @60 sensor bottom break     run 60 simulated seconds after start
//   @180 sensor bottom ok

#include "core/timer_queue.h"
#include "sim/control_server.h"

#include <memory>
#include <string>
#include <vector>

struct ScenarioStep {
    double atSeconds = 0;
    std::string command;
    int line = 0;
};

struct Scenario {
    std::string name;
    std::vector<ScenarioStep> steps; // in the order of their moments
};

// False with "line N: reason" when a line cannot be read.
bool parseScenario(const std::string& name, const std::string& text, Scenario& scenario, std::string& error);

// A scenario by built-in name ("overload") or file path. False with a reason when it is neither.
bool loadScenario(const std::string& nameOrPath, Scenario& scenario, std::string& error);
// The built-in scenarios' names.
std::vector<std::string> builtinScenarioNames();
// What a fresh sandbox is commissioned with before any scenario: a unit ready to stroke.
const Scenario& commissioningScenario();

// Runs a scenario's steps on the timer queue through the control commands; an answer that is an
// error is reported on standard error with its line, and the run goes on.
class ScenarioRunner {
public:
    ScenarioRunner(ControlServer& control, Scenario scenario);
    // The command names the scenario uses that the control server does not know; empty when none.
    std::vector<std::string> unknownCommands() const;
    void start();
    size_t stepsRun() const { return next_; }

private:
    void runDue();

    ControlServer& control_;
    Scenario scenario_;
    size_t next_ = 0;
    uint32_t startMs_ = 0;
    Timer timer_;
};
