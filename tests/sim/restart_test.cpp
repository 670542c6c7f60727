// Restart and reboot from the panel in velkord-sim: the daemon stops and starts again inside the same
// process on the same sandbox, reading its settings back from the files.

#include "config/config.h"
#include "core/registry.h"
#include "sim/simulation.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct SimRun {
    int status = -1;
    int starts = 0;
    std::vector<float> swingsAtStart;
    std::vector<std::string> journal;
};

// With the keys alone: nSwings up from 3 to 4 in "Настройки производительности", then back to
// "Общие настройки" and ВВОД on its entry `downs` places down.
SimRun runWithKeys(int downs, double seconds) {
    TempDir dir;
    std::string scenario = dir / "restart.scenario";
    std::vector<std::string> keys = {"enter", "down", "enter", "down",   "enter", "left",
                                     "left",  "up",   "enter", "cancel", "up",    "enter"};
    keys.insert(keys.end(), static_cast<size_t>(downs), "down");
    keys.push_back("enter");
    std::string steps;
    double at = 2;
    for (const std::string& key : keys) {
        steps += "@" + std::to_string(at) + " key " + key + "\n";
        at += 0.5;
    }
    writeFile(scenario, steps);
    SimOptions options;
    options.root = dir / "run";
    options.speed = 0;
    options.forSeconds = seconds;
    options.scenario = scenario;
    options.httpPort = options.httpsPort = options.modbusPort = 0;
    SimRun run;
    SimulationHooks hooks;
    hooks.started = [&](SimSession&) {
        ++run.starts;
        run.swingsAtStart.push_back(gConfig->nSwings.value);
    };
    ::testing::internal::CaptureStderr();
    run.status = runSimulation(options, hooks);
    ::testing::internal::GetCapturedStderr();
    std::istringstream journal(readFile(options.root + "/var/log/events"));
    for (std::string line; std::getline(journal, line);)
        run.journal.push_back(line.size() > 16 ? line.substr(16) : line);
    return run;
}

size_t count(const std::vector<std::string>& lines, const std::string& text) {
    size_t found = 0;
    for (const std::string& line : lines)
        found += line == text;
    return found;
}

TEST(SimRestart, RestartStartsTheDaemonAgainWithTheSavedSettings) {
    SimRun run = runWithKeys(7, 20);
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(run.starts, 2);
    EXPECT_EQ(count(run.journal, "velkord started"), 2U);
    EXPECT_FLOAT_EQ(run.swingsAtStart[1], 4.0f);
    // Nothing is journalled as changed by the second start.
    EXPECT_EQ(count(run.journal, "Настройка 'Число качаний' изменена: 3.00 --> 4.00"), 1U);
}

TEST(SimRestart, RebootIsAColdStartOfTheBoard) {
    SimRun run = runWithKeys(8, 20);
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(run.starts, 2);
    EXPECT_EQ(count(run.journal, "velkord started"), 2U);
    EXPECT_FLOAT_EQ(run.swingsAtStart[1], 4.0f);
}

TEST(SimRestart, WithoutTheKeysTheDaemonRunsOnce) {
    SimRun run = runWithKeys(6, 12); // ВВОД on "Тип PDP" opens an editor, nothing more
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.starts, 1);
    EXPECT_EQ(count(run.journal, "velkord started"), 1U);
}

} // namespace
