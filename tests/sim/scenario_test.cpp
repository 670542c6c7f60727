#include "sim/scenario.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

TEST(Scenario, LinesBecomeTimedCommandsInTimeOrder) {
    Scenario scenario;
    std::string error;
    EXPECT_FALSE(parseScenario("test", "# comment\n\nsetting araDelay 1\n@60 sensor bottom break\n@soon x\n",
                               scenario, error));
    EXPECT_EQ(error, "line 5: expected @SECONDS COMMAND");

    ASSERT_TRUE(parseScenario("test", "@120 b\n  setting araDelay 1  \n@60.5\tsensor bottom break\n",
                              scenario, error));
    ASSERT_EQ(scenario.steps.size(), 3u);
    EXPECT_EQ(scenario.steps[0].command, "setting araDelay 1");
    EXPECT_EQ(scenario.steps[0].atSeconds, 0);
    EXPECT_EQ(scenario.steps[1].atSeconds, 60.5);
    EXPECT_EQ(scenario.steps[1].command, "sensor bottom break");
    EXPECT_EQ(scenario.steps[1].line, 3);
    EXPECT_EQ(scenario.steps[2].command, "b");

    EXPECT_FALSE(parseScenario("test", "@10\n", scenario, error));
    EXPECT_FALSE(parseScenario("test", "@-1 x\n", scenario, error));
    EXPECT_FALSE(parseScenario("test", "@nan x\n", scenario, error));
    EXPECT_FALSE(parseScenario("test", "@inf x\n", scenario, error));
    EXPECT_FALSE(parseScenario("test", "@5000000 x\n", scenario, error)); // past the 32-bit clock
}

TEST(Scenario, BuiltInScenariosAreFoundByNameAndFilesByPath) {
    std::vector<std::string> names = builtinScenarioNames();
    for (const char* name :
         {"normal", "overload", "bottom-sensor-break", "oil-overheat", "overcurrent", "remote-stop",
          "low-oil", "two-units", "bottom-sensor-break-timed", "smart-rate"})
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    EXPECT_EQ(std::find(names.begin(), names.end(), "commissioning"), names.end());

    Scenario scenario;
    std::string error;
    ASSERT_TRUE(loadScenario("overload", scenario, error)) << error;
    EXPECT_FALSE(scenario.steps.empty());
    EXPECT_FALSE(loadScenario("/nonexistent/file.scenario", scenario, error));
    EXPECT_EQ(error, "no scenario /nonexistent/file.scenario (a built-in name or a file)");
    EXPECT_FALSE(commissioningScenario().steps.empty());
}

TEST(Scenario, UnknownCommandsAreFoundBeforeTheRun) {
    ControlServer control;
    control.addCommand("known", [](const std::vector<std::string>&) { return std::string("ok"); });
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(
        parseScenario("test", "known 1\n@5 known\n@6 unknown x\n@7 unknown\n@8 other", scenario, error));
    ScenarioRunner runner(control, scenario);
    EXPECT_EQ(runner.unknownCommands(), (std::vector<std::string>{"unknown", "other"}));
}

} // namespace
