// The whole daemon, started as velkord-sim starts it, on the simulated unit and the virtual clock:
// what a person checks on a real well after an hour of each scenario.

#include "config/config.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "daemon/registry.h"
#include "drive/alarm_list.h"
#include "drive/controller.h"
#include "drive/discrete_io.h"
#include "sim/simulation.h"
#include "tests/support/temp_dir.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Outcome {
    int status = -1;
    uint64_t strokes = 0;
    int state = -1;
    std::vector<bool> outputs; // 0..39 at the end
    std::vector<int> alarms;
    std::vector<std::string> journal; // the texts, without their stamps
    double lastCycleRate = 0;         // strokes per minute of the last full cycle
    double workingHz[2] = {0, 0};     // freqDrive1, freqDrive2 at the end
    bool selected[2] = {false, false};
    size_t dynamogramFiles = 0;
    std::vector<int> states; // the stroke states in the order they were entered
    Measurement oil;         // the oil temperature the controller was given last
};

// Whether `wanted` occurs in `states` in this order, each right after the one before.
bool passesThrough(const std::vector<int>& states, const std::vector<int>& wanted) {
    return std::search(states.begin(), states.end(), wanted.begin(), wanted.end()) != states.end();
}

std::string listed(const std::vector<int>& states) {
    std::string text;
    for (int state : states)
        text += std::to_string(state) + " ";
    return text;
}

size_t countFiles(const std::string& directory, const std::string& prefix) {
    size_t count = 0;
    if (DIR* listing = opendir(directory.c_str())) {
        while (dirent* entry = readdir(listing))
            count += std::string(entry->d_name).rfind(prefix, 0) == 0;
        closedir(listing);
    }
    return count;
}

// With VELKORD_JOURNAL_DIR set, each run's journal texts are kept there as SCENARIO.journal, so runs
// of two versions can be compared line for line (scripts/scenario-journals).
void keepJournal(const std::string& scenario, const std::vector<std::string>& journal) {
    const char* directory = std::getenv("VELKORD_JOURNAL_DIR");
    if (!directory || !*directory)
        return;
    std::ofstream file(std::string(directory) + "/" + scenario + ".journal");
    for (const std::string& line : journal)
        file << line << '\n';
}

Outcome simulate(const std::string& scenario, double seconds) {
    TempDir dir;
    SimOptions options;
    options.root = dir / "run";
    options.speed = 0;
    options.forSeconds = seconds;
    options.scenario = scenario;
    options.httpPort = options.httpsPort = options.modbusPort = 0;
    Outcome outcome;
    SimulationHooks hooks;
    // The stroke state, looked at every 10 ms (the cycle's own cadence).
    Timer stateProbe;
    std::function<void()> probe = [&] {
        int state = gController->view().strokeState();
        if (outcome.states.empty() || outcome.states.back() != state)
            outcome.states.push_back(state);
        stateProbe.start("test-state-probe", 10, probe);
    };
    hooks.started = [&](SimSession&) { probe(); };
    hooks.stopping = [&](SimSession& session) {
        stateProbe.cancel();
        outcome.strokes = session.plant().model().strokesCompleted();
        outcome.state = gController->view().strokeState();
        outcome.oil = gController->view().oilTemperature();
        for (int n = 0; n < 40; ++n)
            outcome.outputs.push_back(gDiscreteIO->isOutputOn(n));
        for (const auto& entry : gController->alarms().entries())
            outcome.alarms.push_back(entry.first);
        uint32_t cycleMs = gController->view().upStrokeMs() + gController->view().downStrokeMs();
        outcome.lastCycleRate = cycleMs > 0 ? 60000.0 / cycleMs : 0;
        outcome.workingHz[0] = gConfig->freqDrive1.value;
        outcome.workingHz[1] = gConfig->freqDrive2.value;
        outcome.selected[0] = gConfig->selectedDrive1.current == 1;
        outcome.selected[1] = gConfig->selectedDrive2.current == 1;
        outcome.dynamogramFiles = countFiles(options.root + "/var/spool", "telm_");
    };
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    outcome.status = runSimulation(options, hooks);
    ::testing::internal::GetCapturedStdout();
    std::string errors = ::testing::internal::GetCapturedStderr();
    std::istringstream journal(readFile(options.root + "/var/log/events"));
    for (std::string line; std::getline(journal, line);)
        outcome.journal.push_back(line.size() > 16 ? line.substr(16) : line);
    EXPECT_EQ(errors.find("scenario"), std::string::npos) << errors;
    keepJournal(scenario, outcome.journal);
    return outcome;
}

// Index of the first journal entry at or after `from` that begins with the text; -1 when none.
int entry(const Outcome& outcome, const std::string& text, int from = 0) {
    for (size_t i = static_cast<size_t>(from); i < outcome.journal.size(); ++i)
        if (outcome.journal[i].rfind(text, 0) == 0)
            return static_cast<int>(i);
    return -1;
}

// The alarm was raised and, later, cleared; returns where it was raised (-1 when it was not).
int raisedThenCleared(const Outcome& outcome, const std::string& alarm) {
    int raised = entry(outcome, "Авария привода: " + alarm);
    EXPECT_GE(raised, 0) << alarm;
    if (raised >= 0) {
        EXPECT_GT(entry(outcome, "Снятие аварии: " + alarm, raised), raised) << alarm;
    }
    return raised;
}

size_t count(const Outcome& outcome, const std::string& text) {
    size_t n = 0;
    for (const std::string& line : outcome.journal)
        n += line.rfind(text, 0) == 0;
    return n;
}

TEST(WholeUnit, AHealthyUnitStrokesWithoutAlarmsAtTheRequiredRate) {
    Outcome outcome = simulate("normal", 1200);
    ASSERT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.journal.front(), "velkord started");
    EXPECT_EQ(count(outcome, "Авария привода"), 0u);
    EXPECT_TRUE(outcome.alarms.empty());
    // nSwings is 3 strokes a minute: the tuning lowers the working frequency from its first guess.
    EXPECT_NEAR(outcome.lastCycleRate, 3.0, 0.15);
    EXPECT_NEAR(outcome.strokes / 20.0, 3.0, 0.3);
    EXPECT_LT(outcome.workingHz[0], 36.0);
    EXPECT_GT(count(outcome, "Настройка 'freqDrive1' изменена"), 1u);
    // The first full cycle after the start, then one an hour (recordPeriod 60).
    EXPECT_EQ(outcome.dynamogramFiles, 1u);
    EXPECT_GE(outcome.state, 2);
    EXPECT_LE(outcome.state, 5);
    // The rod starts on the bottom sensor: the first cycle at once, then steady cycles only.
    ASSERT_GE(outcome.states.size(), 6u) << listed(outcome.states);
    EXPECT_TRUE(passesThrough(outcome.states, {0, 2, 3, 4, 5, 4, 5})) << listed(outcome.states);
    EXPECT_TRUE(std::all_of(outcome.states.begin() + 3, outcome.states.end(), [](int state) {
        return state == 4 || state == 5;
    })) << listed(outcome.states);
    // Relays healthy, status "automatic, no alarm, not stopped".
    EXPECT_TRUE(outcome.outputs[17] && outcome.outputs[18]);
    EXPECT_TRUE(outcome.outputs[25]);
    EXPECT_FALSE(outcome.outputs[26] || outcome.outputs[27]);
}

TEST(WholeUnit, ABrokenBottomSensorStopsTheDriveUntilItIsMended) {
    Outcome outcome = simulate("bottom-sensor-break", 400);
    raisedThenCleared(outcome, "9.1 Остановка по обрыву нижнего дат.");
    EXPECT_TRUE(outcome.alarms.empty());
    EXPECT_GE(outcome.state, 2); // stroking again
    // Stopped from a stroke, then started afresh from the bottom.
    EXPECT_TRUE(passesThrough(outcome.states, {0, 2, 3, 4, 5})) << listed(outcome.states);
    EXPECT_GE(std::count(outcome.states.begin(), outcome.states.end(), 0), 2) << listed(outcome.states);
    EXPECT_GT(outcome.strokes, 10u);
}

TEST(WholeUnit, WithATimedDownStrokeABrokenBottomSensorIsOnlyAWarning) {
    Outcome outcome = simulate("bottom-sensor-break-timed", 400);
    raisedThenCleared(outcome, "9.3 Игнорирование обрыва нижнего дат.");
    EXPECT_EQ(entry(outcome, "Авария привода: 9.1"), -1);
    EXPECT_GT(outcome.strokes, 15u); // it never stopped
}

TEST(WholeUnit, ARodOverloadStopsRestsAndRestartsOnItsOwn) {
    Outcome outcome = simulate("overload", 400);
    int raised = entry(outcome, "Авария привода: 16.1 Превыш. нагр. на штоке. Авт. перез. прив. №1");
    ASSERT_GE(raised, 0);
    int reclose = entry(outcome, "АПВ", raised);
    ASSERT_GT(reclose, raised);
    EXPECT_GT(entry(outcome, "Снятие аварии: 16.1", reclose), reclose);
    EXPECT_EQ(entry(outcome, "Авария привода: 16.2"), -1);
    EXPECT_TRUE(outcome.alarms.empty());
    EXPECT_GE(outcome.state, 2);
    // Halted on the up stroke (state 9 passes within one pass), let down, rested at the bottom,
    // then the first cycle again.
    EXPECT_TRUE(passesThrough(outcome.states, {4, 10, 11, 2, 3})) << listed(outcome.states);
}

TEST(WholeUnit, ARemoteStopHoldsTheDriveAndTheRemoteStartResumesIt) {
    Outcome outcome = simulate("remote-stop", 300);
    raisedThenCleared(outcome, "3. Ожидание удаленного запуска");
    EXPECT_TRUE(outcome.alarms.empty());
    // About a minute of the five was spent standing.
    EXPECT_LT(outcome.strokes, 300 / 60.0 * 4.5);
    EXPECT_GT(outcome.strokes, 8u);
}

TEST(WholeUnit, LowOilStopsTheDriveUntilItIsToppedUp) {
    Outcome outcome = simulate("low-oil", 300);
    raisedThenCleared(outcome, "13. Низкий уровень масла");
    EXPECT_TRUE(outcome.alarms.empty());
}

TEST(WholeUnit, OverheatedOilSendsTheRodDownToCoolAndTheDriveRestartsWhenCool) {
    Outcome outcome = simulate("oil-overheat", 900);
    raisedThenCleared(outcome, "22. Перегр. масла. Прив. будет зап. авт.");
    EXPECT_EQ(std::count(outcome.alarms.begin(), outcome.alarms.end(), 17), 0);
    EXPECT_GE(outcome.state, 2);
    // Down to the bottom, resting there while it cools, then the first cycle again.
    EXPECT_TRUE(passesThrough(outcome.states, {6, 7})) << listed(outcome.states);
    EXPECT_TRUE(passesThrough(outcome.states, {2, 3, 4})) << listed(outcome.states);
}

// The daemon's own thermometer reads the simulated 1-wire bus: the oil sensor taken off it fails the
// sensor after the ride-through, and another one put on it is read in its place.
TEST(WholeUnit, TheOilTemperatureComesThroughTheDaemonsThermometer) {
    TempDir scenarioDir;
    std::string scenario = scenarioDir / "thermometer.scenario";
    writeFile(scenario, "@60 w1 remove oil\n@250 w1 add 10-0000000000aa 23.125\n");
    Outcome outcome = simulate(scenario, 300);
    int raised = raisedThenCleared(outcome, "23. Ошибка датчика температуры");
    EXPECT_EQ(count(outcome, "Авария привода: 23. Ошибка датчика температуры"), 1u);
    EXPECT_GE(raised, 0);
    EXPECT_TRUE(outcome.oil.valid);
    EXPECT_EQ(outcome.oil.value, 23.125f);
    EXPECT_GE(outcome.state, 2); // the unit kept stroking
}

TEST(WholeUnit, ADriveOverCurrentIsReclosedAfterTheDelay) {
    Outcome outcome = simulate("overcurrent", 400);
    int raised = entry(outcome, "Авария привода: 20.1 Перегруз по току ЧРП НУ1");
    ASSERT_GE(raised, 0);
    EXPECT_GT(entry(outcome, "АПВ НУ1", raised), raised);
    EXPECT_GT(entry(outcome, "НУ1: помечена как неисправная", raised), raised);
}

} // namespace

namespace {

TEST(WholeUnit, TwoUnitsShareTheWorkAndReachTheRequiredRate) {
    Outcome outcome = simulate("two-units", 1200);
    EXPECT_EQ(count(outcome, "Авария привода"), 0u);
    EXPECT_TRUE(outcome.selected[0] && outcome.selected[1]);
    EXPECT_NEAR(outcome.lastCycleRate, 7.0, 0.2); // the scenario asks for 7 strokes a minute
    // Shared as pu2pu1FreqRatio (1) asks, both well inside their range.
    EXPECT_NEAR(outcome.workingHz[0], outcome.workingHz[1], 1.0);
    EXPECT_GT(outcome.workingHz[0], 22);
    EXPECT_LT(outcome.workingHz[0], 50);
}

} // namespace

namespace {

struct SmartCorrection {
    double target;
    double fill;
};

// "Изменено число качаний: OLD --> NEW, Kнаполн=K": the corrections in order.
std::vector<SmartCorrection> smartCorrections(const Outcome& outcome) {
    std::vector<SmartCorrection> corrections;
    for (const std::string& line : outcome.journal) {
        size_t arrow = line.find(" --> ");
        size_t fill = line.find("Kнаполн=");
        if (line.rfind("Изменено число качаний: ", 0) == 0 && arrow != std::string::npos &&
            fill != std::string::npos)
            corrections.push_back({std::atof(line.c_str() + arrow + 5),
                                   std::atof(line.c_str() + fill + std::strlen("Kнаполн="))});
    }
    return corrections;
}

TEST(WholeUnit, ThePumpFillingLessLowersTheSmartTarget) {
    Outcome outcome = simulate("smart-rate", 3600);
    std::vector<SmartCorrection> corrections = smartCorrections(outcome);
    ASSERT_GE(corrections.size(), 6u);
    // Corrections every 5 minutes from the tenth record; the fill drops at 30 minutes.
    const SmartCorrection& before = corrections[2];
    const SmartCorrection& after = corrections.back();
    EXPECT_NEAR(before.fill, 0.75, 0.1); // a barrel 85 % full, seen through the threshold line
    EXPECT_NEAR(after.fill, 0.33, 0.1);
    EXPECT_LT(after.target, before.target - 0.2);
    EXPECT_GE(after.target, 1.0); // within nsMin .. nsMax
    EXPECT_LE(before.target, 4.0);
    EXPECT_EQ(count(outcome, "Авария привода"), 0u);
}

} // namespace
