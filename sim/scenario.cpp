#include "sim/scenario.h"

#include "platform/clock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

// The built-in scenario texts, generated from sim/scenarios/*.scenario at build time.
struct BuiltinScenario {
    const char* name;
    const char* text;
};
extern const BuiltinScenario kBuiltinScenarios[];
extern const size_t kBuiltinScenarioCount;

namespace {

constexpr double kMaxStepSeconds = 4000000;

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string();
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

} // namespace

bool parseScenario(const std::string& name, const std::string& text, Scenario& scenario, std::string& error) {
    Scenario parsed;
    parsed.name = name;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#')
            continue;
        ScenarioStep step;
        step.line = number;
        if (line[0] == '@') {
            char* end = nullptr;
            step.atSeconds = std::strtod(line.c_str() + 1, &end);
            // The step's milliseconds must fit the 32-bit clock of the timers.
            if (end == line.c_str() + 1 || !(step.atSeconds >= 0 && step.atSeconds <= kMaxStepSeconds) ||
                (*end != ' ' && *end != '\t')) {
                error = "line " + std::to_string(number) + ": expected @SECONDS COMMAND";
                return false;
            }
            line = trimmed(end);
        }
        if (line.empty()) {
            error = "line " + std::to_string(number) + ": no command";
            return false;
        }
        step.command = line;
        parsed.steps.push_back(step);
    }
    std::stable_sort(parsed.steps.begin(), parsed.steps.end(),
                     [](const ScenarioStep& a, const ScenarioStep& b) { return a.atSeconds < b.atSeconds; });
    scenario = std::move(parsed);
    return true;
}

std::vector<std::string> builtinScenarioNames() {
    std::vector<std::string> names;
    for (size_t i = 0; i < kBuiltinScenarioCount; ++i)
        if (std::string(kBuiltinScenarios[i].name) != "commissioning")
            names.push_back(kBuiltinScenarios[i].name);
    return names;
}

bool loadScenario(const std::string& nameOrPath, Scenario& scenario, std::string& error) {
    for (size_t i = 0; i < kBuiltinScenarioCount; ++i)
        if (nameOrPath == kBuiltinScenarios[i].name)
            return parseScenario(nameOrPath, kBuiltinScenarios[i].text, scenario, error);
    std::ifstream file(nameOrPath);
    if (!file) {
        error = "no scenario " + nameOrPath + " (a built-in name or a file)";
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (parseScenario(nameOrPath, text.str(), scenario, error))
        return true;
    error = nameOrPath + ": " + error;
    return false;
}

const Scenario& commissioningScenario() {
    static const Scenario commissioning = [] {
        Scenario scenario;
        std::string error;
        loadScenario("commissioning", scenario, error);
        return scenario;
    }();
    return commissioning;
}

ScenarioRunner::ScenarioRunner(ControlServer& control, Scenario scenario)
    : control_(control), scenario_(std::move(scenario)) {}

std::vector<std::string> ScenarioRunner::unknownCommands() const {
    std::vector<std::string> unknown;
    for (const ScenarioStep& step : scenario_.steps) {
        std::string name = step.command.substr(0, step.command.find_first_of(" \t"));
        if (!control_.hasCommand(name) && std::find(unknown.begin(), unknown.end(), name) == unknown.end())
            unknown.push_back(name);
    }
    return unknown;
}

void ScenarioRunner::start() {
    startMs_ = platform::monotonicMs();
    runDue();
}

void ScenarioRunner::runDue() {
    uint32_t elapsed = platform::monotonicMs() - startMs_;
    while (next_ < scenario_.steps.size() && scenario_.steps[next_].atSeconds * 1000.0 <= elapsed) {
        const ScenarioStep& step = scenario_.steps[next_++];
        std::string answer = control_.execute(step.command);
        if (answer.rfind("error", 0) == 0)
            std::fprintf(stderr, "velkord-sim: scenario %s line %d: %s: %s\n", scenario_.name.c_str(),
                         step.line, step.command.c_str(), answer.c_str());
    }
    if (next_ >= scenario_.steps.size())
        return;
    double wait = scenario_.steps[next_].atSeconds * 1000.0 - elapsed;
    timer_.start("sim-scenario", static_cast<uint32_t>(std::max(0.0, wait)), [this] { runDue(); });
}
