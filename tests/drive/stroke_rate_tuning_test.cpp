// The stroke-rate tuning on the rig: scripted cycles whose up stroke follows the oil flow the tuning
// commands, for one and two pump units, the emergency dwell, and the smart mode's correction.

#include "drive/unit_settings.h"
#include "tests/drive/scripted_cycles.h"

#include <algorithm>
#include <cmath>

namespace {

class StrokeRateTuningTest : public ScriptedCycleTest {
protected:
    // A cycle's frequencies and rate, after its bottom.
    struct Turn {
        float f1, f2;
        int selected1, selected2;
        float rate;
    };

    // Runs cycles, keeping what each ended with.
    std::vector<Turn> tune(int cycles, const CycleScript& script) {
        std::vector<Turn> turns;
        for (int i = 0; i < cycles && !HasFatalFailure(); ++i) {
            runCycle(script);
            turns.push_back({config->freqDrive1.value, config->freqDrive2.value,
                             config->selectedDrive1.current, config->selectedDrive2.current, lastRate()});
        }
        return turns;
    }

    // The first cycle from which on the rate stays within `tolerance` of the target.
    static size_t settledFrom(const std::vector<Turn>& turns, float target, float tolerance) {
        size_t from = turns.size();
        while (from > 0 && std::fabs(turns[from - 1].rate - target) <= tolerance)
            --from;
        return from;
    }

    // A well whose up stroke takes upWork / flow seconds and its down stroke 5 s, started at the bottom
    // and tuned to 4 strokes a minute (15 s a cycle) for some cycles.
    std::vector<Turn> tuneToFourStrokes(float upWork, int cycles) {
        config->nSwings.value = 4;
        CycleScript well;
        well.upWork = upWork;
        well.downMs = 5000;
        startIn(kModeAutomatic, true);
        std::vector<Turn> turns = tune(cycles, well);
        EXPECT_EQ(turns.size(), static_cast<size_t>(cycles));
        return turns;
    }

    // The rate is within 0.1 of 4 from cycle `within` on, and nothing changed in the last `steadyFor`.
    static void expectSettled(const std::vector<Turn>& turns, size_t within, size_t steadyFor) {
        EXPECT_LE(settledFrom(turns, 4, 0.1f), within);
        EXPECT_TRUE(turns.size() >= steadyFor && steady(turns, steadyFor));
    }

    static bool steady(const std::vector<Turn>& turns, size_t last) {
        for (size_t i = turns.size() - last; i < turns.size(); ++i)
            if (turns[i].f1 != turns.back().f1 || turns[i].f2 != turns.back().f2 ||
                turns[i].selected1 != turns.back().selected1 || turns[i].selected2 != turns.back().selected2)
                return false;
        return true;
    }
};

TEST_F(StrokeRateTuningTest, AnEightSecondCycleAtEightStrokesIsSevenAndAHalfAndFiveHertzMore) {
    config->nSwings.value = 8;
    startIn(kModeAutomatic, true);
    CycleScript exact;
    exact.upWork = 0;
    exact.upMs = 3000;
    exact.downMs = 3000;
    runCycle(exact); // the first cycle after the start is not tuned
    EXPECT_EQ(controller->tuning().runs(), 0u);
    EXPECT_FLOAT_EQ(config->freqDrive1.value, 30);

    // The rig's reversals come a few milliseconds either way.
    exact.periodMs = 8000;
    runCycle(exact);
    EXPECT_NEAR(lastPeriodMs(), 8000, 10);
    EXPECT_EQ(controller->tuning().runs(), 1u);
    EXPECT_NEAR(controller->tuning().error(), 0.5f, 0.01f);
    EXPECT_FLOAT_EQ(config->freqDrive1.value, 35);
    EXPECT_FLOAT_EQ(config->freqDrive2.value, 36); // the middle of its range from the selection, not tuned
    EXPECT_NE(file("/etc/velkord_perf").find("<freqDrive1>35</freqDrive1>"), std::string::npos);

    // From below the target to the target (a period of 7500 ms or a little less): the frequencies stay
    // and the parameters are saved (freqDrive2 changed in memory only shows it).
    config->freqDrive2.value = 33;
    exact.periodMs = 7490;
    runCycle(exact);
    EXPECT_LE(lastPeriodMs(), 7500u);
    EXPECT_FLOAT_EQ(controller->tuning().error(), 0);
    EXPECT_FLOAT_EQ(config->freqDrive1.value, 35);
    EXPECT_NE(file("/etc/velkord_perf").find("<freqDrive2>33</freqDrive2>"), std::string::npos);

    // The cycle's rate went into its dynamogram.
    completeLastCycle();
    ASSERT_FALSE(controller->view().dynamograms().empty());
    EXPECT_FLOAT_EQ(controller->view().dynamograms().back()->strokesPerMinute, lastRate());
}

TEST_F(StrokeRateTuningTest, OneUnitReachesTheRequiredRateWithinAFewCyclesAndStays) {
    config->freqDrive1.value = 25;
    std::vector<Turn> turns = tuneToFourStrokes(392, 12); // 9.8 s up at 40 Hz
    expectSettled(turns, 6, 4);
    for (const Turn& turn : turns) {
        EXPECT_GE(turn.f1, 22);
        EXPECT_LE(turn.f1, 50);
        EXPECT_EQ(turn.selected2, 0);
    }
    EXPECT_NEAR(turns.back().f1, 40, 2);
}

TEST_F(StrokeRateTuningTest, TwoUnitsReachTheRateMovingTogetherInTheirRatio) {
    config->pu2Mode.current = kUnitOn;
    config->freqDrive1.value = 22;
    config->freqDrive2.value = 22;
    std::vector<Turn> turns = tuneToFourStrokes(784, 12); // 9.8 s up at 2 x 40 Hz
    expectSettled(turns, 6, 4);
    for (const Turn& turn : turns) {
        EXPECT_EQ(turn.selected1 + turn.selected2, 2);
        EXPECT_NEAR(turn.f2 / turn.f1, 1, 0.05);
        EXPECT_GE(std::min(turn.f1, turn.f2), 22);
    }
}

TEST_F(StrokeRateTuningTest, TwoUnitsInARatioOfOneAndAHalfKeepItWhileTheRateSettles) {
    config->pu2Mode.current = kUnitOn;
    config->pu2pu1FreqRatio.value = 1.5f;
    config->freqDrive1.value = 22;
    config->freqDrive2.value = 33;
    std::vector<Turn> turns = tuneToFourStrokes(735, 14); // 9.8 s up at 30 + 45 Hz
    expectSettled(turns, 8, 4);
    EXPECT_NEAR(turns.back().f2 / turns.back().f1, 1.5f, 0.1f);
    for (const Turn& turn : turns)
        EXPECT_LE(std::max(turn.f1, turn.f2), 50);
}

TEST_F(StrokeRateTuningTest, WithUnitSwitchingTheSecondUnitJoinsWhenTheFirstIsAtItsMaximum) {
    config->pu2Mode.current = kUnitAuto;
    config->perfIncMode.current = 1; // "Двигатель - клапан"
    config->freqDrive1.value = 45;
    config->freqDrive2.value = 30;
    // 14 s up at 50 Hz: one unit cannot make 4 strokes a minute.
    std::vector<Turn> turns = tuneToFourStrokes(700, 14);
    ASSERT_FALSE(turns.empty());
    EXPECT_EQ(turns.back().selected2, 1);
    EXPECT_TRUE(journalHas("Настройка 'selectedDrive2' изменена: 'Не выбран' --> 'Выбран'"));
    expectSettled(turns, 9, 4);
    // Once switched on it stays on.
    auto joined = std::find_if(turns.begin(), turns.end(), [](const Turn& t) { return t.selected2 == 1; });
    EXPECT_TRUE(std::all_of(joined, turns.end(), [](const Turn& t) { return t.selected2 == 1; }));
}

TEST_F(StrokeRateTuningTest, WithUnitSwitchingOneOfTwoLeavesWhenBothAreAtTheirLowerBound) {
    config->pu1Mode.current = kUnitAuto;
    config->pu2Mode.current = kUnitAuto;
    config->selectedDrive1.current = 1;
    config->selectedDrive2.current = 1;
    config->perfIncMode.current = 1;
    config->freqDrive1.value = 22;
    config->freqDrive2.value = 22;
    // 6.8 s up at 2 x 22 Hz is too fast; 9.7 s at 31 Hz alone.
    std::vector<Turn> turns = tuneToFourStrokes(300, 10);
    ASSERT_FALSE(turns.empty());
    EXPECT_EQ(turns.back().selected1, 1); // the unit with priority stays
    EXPECT_EQ(turns.back().selected2, 0);
    expectSettled(turns, 6, 3);
}

TEST_F(StrokeRateTuningTest, WithoutUnitSwitchingTheUnitsStayAndTheRateStaysWhereTheLimitsHoldIt) {
    config->pu2Mode.current = kUnitAuto;
    config->freqDrive1.value = 45;
    std::vector<Turn> turns = tuneToFourStrokes(700, 6);
    ASSERT_FALSE(turns.empty());
    EXPECT_FLOAT_EQ(turns.back().f1, 50);
    EXPECT_EQ(turns.back().selected2, 0);
    EXPECT_TRUE(steady(turns, 4));
}

TEST_F(StrokeRateTuningTest, InTheEmergencyTemperatureModeTheTopDwellStretchesTheCycleToItsRate) {
    config->nsAlarmTempMode.value = 4; // 15 s a cycle
    startIn(kModeAutomatic, true);
    controller->raiseAlarm(makeAlarm(36));
    CycleScript fixed;
    fixed.upWork = 0;
    fixed.upMs = 4000;
    fixed.downMs = 3000;
    runCycles(2, fixed);
    ASSERT_GT(lastPeriodMs(), 6000u);
    float dwell = controller->tuning().emergencyTopDwell();
    EXPECT_NEAR(dwell, 15.0f - lastPeriodMs() / 1000.0f, 0.001f);
    // The motors start a varying moment after the bottom (the drives' polling): within that, 15 s.
    for (int i = 0; i < 3; ++i) {
        runCycle(fixed);
        EXPECT_NEAR(lastPeriodMs(), 15000, 400);
    }
    EXPECT_NEAR(controller->tuning().emergencyTopDwell(), dwell, 0.2f);
    controller->clearAlarm(36);
    runCycle(fixed);
    runCycle(fixed);
    EXPECT_LT(lastPeriodMs(), 8000u); // delayTDP 0 again
}

class SmartModeTest : public StrokeRateTuningTest {
protected:
    SmartModeTest() {
        config->nsMode.current = 1;
        config->nsCorrectionInterval.value = 1; // a minute
        config->nsMax.value = 10;
        config->kNapol.value = 0.7f;
        config->lineBase.current = kLineAbsoluteIndex;
        config->absLineX.value = 3000;
    }
    static constexpr int kLineAbsoluteIndex = 3;
    static constexpr int kProportionalCorrection = 0;

    static float journalledFill(const std::string& line) {
        const std::string key = "Kнаполн=";
        size_t at = line.find(key);
        return at == std::string::npos ? -1 : std::stof(line.substr(at + key.size()));
    }

    std::vector<std::string> corrections() {
        std::vector<std::string> found;
        for (const std::string& line : journal())
            if (line.find("Изменено число качаний: ") == 0)
                found.push_back(line);
        return found;
    }
};

TEST_F(SmartModeTest, TheTimerIsArmedBySmartModeFromTheStartAndFollowsItsSettings) {
    startIn(kModeAutomatic, true);
    EXPECT_TRUE(controller->tuning().smart().armed());
    config->nsCorrectionInterval.set(0);
    EXPECT_FALSE(controller->tuning().smart().armed());
    config->nsCorrectionInterval.set(2);
    EXPECT_TRUE(controller->tuning().smart().armed());
    config->nsMode.set(0);
    EXPECT_FALSE(controller->tuning().smart().armed());
    config->nsMode.set(1);
    EXPECT_TRUE(controller->tuning().smart().armed());
    // Before its first correction the smart target is 0, the tuning aims at nsMin.
    EXPECT_FLOAT_EQ(controller->tuning().smart().target(), 0);
}

TEST_F(SmartModeTest, AWaitingCorrectionIsDroppedWhenTheSmartModeIsSwitchedOff) {
    CycleScript well;
    well.upWork = 150;
    well.downMs = 3000;
    startIn(kModeAutomatic, true);
    runCycles(8, well);
    ASSERT_TRUE(controller->tuning().smart().pending());
    config->nsMode.set(0);
    EXPECT_FALSE(controller->tuning().smart().pending());
    runCycles(4, well);
    EXPECT_GE(controller->view().dynamograms().size(), 10u);
    EXPECT_TRUE(corrections().empty());
}

TEST_F(SmartModeTest, ACorrectionWaitsForTenDynamogramsAndAFillChangeMovesTheTargetItsWay) {
    config->freqDrive1.value = 40;
    CycleScript well;
    config->nsCorrMode.current = kProportionalCorrection;
    well.upWork = 150; // 6.1 strokes/min at 22 Hz, 8.9 at 40 Hz, 10 at 50 Hz
    well.downMs = 3000;
    well.fill = 0.9f;
    startIn(kModeAutomatic, true);
    runCycles(8, well); // more than a minute, fewer than ten records
    EXPECT_TRUE(controller->tuning().smart().pending());
    EXPECT_TRUE(corrections().empty());
    EXPECT_LT(controller->view().dynamograms().size(), 10u);

    for (int cycle = 0; cycle < 4 && controller->tuning().smart().pending() && !HasFatalFailure(); ++cycle)
        runCycle(well);
    ASSERT_FALSE(controller->tuning().smart().pending());
    EXPECT_EQ(controller->view().dynamograms().size(), 10u);
    ASSERT_EQ(corrections().size(), 1u);
    float rich = controller->tuning().smart().target();
    // The records' fill of about 0.9 is above kNapol: the target lies above their mean rate, by 0.9 / 0.7.
    float fill = recordFillFactor(*controller->view().dynamograms().back());
    EXPECT_NEAR(fill, 0.9f, 0.05f);
    EXPECT_GT(rich, 1.0f);
    EXPECT_EQ(corrections().front().rfind("Изменено число качаний: 0.000000 --> ", 0), 0u)
        << corrections().front();
    EXPECT_NEAR(journalledFill(corrections().front()), 0.9f, 0.05f) << corrections().front();

    // The tuning follows the target up; then the fill drops to 0.4 and the target comes down with
    // every correction (each below the recent rate, which it then pulls down).
    runCycles(6, well);
    float before = controller->tuning().smart().target();
    EXPECT_GT(before, rich - 0.01f);
    EXPECT_NEAR(lastRate(), before, 0.3f);
    float rateBefore = lastRate();
    float frequencyBefore = config->freqDrive1.value;
    size_t correctionsBefore = corrections().size();
    well.fill = 0.4f;
    runCycles(20, well);
    EXPECT_GE(corrections().size(), correctionsBefore + 3);
    EXPECT_NEAR(journalledFill(corrections().back()), 0.4f, 0.05f);
    EXPECT_LT(controller->tuning().smart().target(), before - 0.5f)
        << ::testing::PrintToString(corrections());
    EXPECT_LT(lastRate(), rateBefore - 0.3f) << rateBefore;
    EXPECT_LT(config->freqDrive1.value, frequencyBefore);
    EXPECT_NEAR(recordFillFactor(*controller->view().dynamograms().back()), 0.4f, 0.05f);
}

} // namespace
