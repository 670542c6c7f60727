// The arithmetic of the stroke-rate tuning: fill factors, the smart mode's means and target, and the
// decision which frequencies and units a tuning step changes.

#include "drive/fill_factor.h"
#include "drive/frequency_step.h"
#include "drive/smart_target.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

const std::vector<float> kDownStroke = {10, 9, 3, 2, 8, 2, 1};

TEST(FillFactor, TheThreeIntersectionModesCountTheSamplesBelowTheLine) {
    EXPECT_FLOAT_EQ(fillFactorOf(kDownStroke, 5, kLastIntersection), 2.0f / 7);
    EXPECT_FLOAT_EQ(fillFactorOf(kDownStroke, 5, kAllIntersections), 4.0f / 7);
    EXPECT_FLOAT_EQ(fillFactorOf(kDownStroke, 5, kFirstIntersection), 5.0f / 7);
    EXPECT_FLOAT_EQ(fillFactorOf(kDownStroke, 5, 7), 2.0f / 7); // an unknown mode counts the last run
}

TEST(FillFactor, ASampleOnTheLineIsNotBelowItAndNoneBelowGivesZero) {
    EXPECT_FLOAT_EQ(fillFactorOf({6, 5, 5}, 5, kLastIntersection), 0);
    EXPECT_FLOAT_EQ(fillFactorOf({6, 5, 4}, 5, kAllIntersections), 1.0f / 3);
    EXPECT_FLOAT_EQ(fillFactorOf({6, 7, 8}, 5, kFirstIntersection), 0);
    EXPECT_FLOAT_EQ(fillFactorOf({1, 2, 3}, 5, kLastIntersection), 1);
    EXPECT_FLOAT_EQ(fillFactorOf({}, 5, kAllIntersections), 0);
}

TEST(FillFactor, TheFourLineBasesPlaceTheLineFromTheExtremesOrAbsolutely) {
    EXPECT_FLOAT_EQ(thresholdLine(kLineBetweenExtremes, 25, 999, 1000, 5000), 2000);
    EXPECT_FLOAT_EQ(thresholdLine(kLineAboveMinimum, 25, 999, 1000, 5000), 1250);
    EXPECT_FLOAT_EQ(thresholdLine(kLineShareOfMaximum, 25, 999, 1000, 5000), 1250);
    EXPECT_FLOAT_EQ(thresholdLine(kLineShareOfMaximum, 50, 999, 1000, 5000), 2500);
    EXPECT_FLOAT_EQ(thresholdLine(kLineAbsolute, 25, 999, 1000, 5000), 999);
    EXPECT_FLOAT_EQ(thresholdLine(9, 25, 999, 1000, 5000), 999);
}

TEST(SmartTarget, TheMiddleMeanDropsThreeExtremesOnEachSide) {
    EXPECT_FLOAT_EQ(middleMean({0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 1.0f}), 0.55f);
    EXPECT_FLOAT_EQ(middleMean({1.0f, 0.9f, 0.8f, 0.7f, 0.6f, 0.5f, 0.4f, 0.3f, 0.2f, 0.1f}), 0.55f);
    EXPECT_FLOAT_EQ(middleMean({100, 0, 4, 100, 4, 0, 4, 0, 4, 100}), 4);
    EXPECT_FLOAT_EQ(middleMean({1, 3}), 2);
    EXPECT_FLOAT_EQ(middleMean({}), 0);
}

TEST(SmartTarget, TheCorrectionModesChooseLinearOrProportionalByDirection) {
    // h = 4, k = 0.7: linear 4 + K - 0.7, proportional 4 x K / 0.7.
    EXPECT_FLOAT_EQ(smartStrokeRate(4, 0.9f, 0.7f, kCorrectLinearly), 4.2f);
    EXPECT_FLOAT_EQ(smartStrokeRate(4, 0.35f, 0.7f, kCorrectLinearly), 3.65f);
    EXPECT_FLOAT_EQ(smartStrokeRate(4, 0.35f, 0.7f, kCorrectProportionally), 2);
    EXPECT_FLOAT_EQ(smartStrokeRate(4, 0.9f, 0.7f, kLinearUpProportionalDown), 4.2f);
    EXPECT_FLOAT_EQ(smartStrokeRate(4, 0.35f, 0.7f, kLinearUpProportionalDown), 2);
    EXPECT_FLOAT_EQ(smartStrokeRate(4, 0.35f, 0.7f, kProportionalUpLinearDown), 3.65f);
    EXPECT_NEAR(smartStrokeRate(4, 0.91f, 0.7f, kProportionalUpLinearDown), 5.2f, 1e-5);
    EXPECT_FLOAT_EQ(smartStrokeRate(4, 0.5f, 0, kCorrectProportionally), 4.5f); // nothing to scale by
}

TunedUnit unit(bool selected, float freq, bool switchable = false, float minFreq = 22, float maxFreq = 50) {
    TunedUnit u;
    u.selected = selected;
    u.switchable = switchable;
    u.freq = freq;
    u.minFreq = minFreq;
    u.maxFreq = maxFreq;
    return u;
}

FrequencyStepRules rules(float ratio = 1, bool switchUnits = false, float minFreqSync = 20) {
    FrequencyStepRules r;
    r.minFreqSync = minFreqSync;
    r.ratio = ratio;
    r.switchUnits = switchUnits;
    return r;
}

TEST(FrequencyStep, OneUnitMovesByTheStepWithinItsLimits) {
    TunedUnits after = applyFrequencyStep({unit(true, 30), unit(false, 40)}, 5, rules());
    EXPECT_FLOAT_EQ(after[0].freq, 35);
    EXPECT_FLOAT_EQ(after[1].freq, 40); // not running: left alone
    EXPECT_FLOAT_EQ(applyFrequencyStep({unit(true, 48), unit(false, 0)}, 5, rules())[0].freq, 50);
    EXPECT_FLOAT_EQ(applyFrequencyStep({unit(true, 24), unit(false, 0)}, -5, rules())[0].freq, 22);
    EXPECT_FLOAT_EQ(applyFrequencyStep({unit(false, 0), unit(true, 30)}, -3, rules())[1].freq, 27);
    // A lowered maximum brings the frequency down whatever the step.
    EXPECT_FLOAT_EQ(applyFrequencyStep({unit(true, 50, false, 22, 45), unit(false, 0)}, 2, rules())[0].freq,
                    45);
    // No step, or no unit: nothing changes.
    EXPECT_FLOAT_EQ(applyFrequencyStep({unit(true, 60), unit(false, 0)}, 0, rules())[0].freq, 60);
    TunedUnits none = applyFrequencyStep({unit(false, 30), unit(false, 30)}, 5, rules());
    EXPECT_FLOAT_EQ(none[0].freq + none[1].freq, 60);
}

TEST(FrequencyStep, TwoUnitsTakeTheCandidateClosestToTheWantedRatio) {
    // Equal frequencies and ratio 1: both move.
    TunedUnits both = applyFrequencyStep({unit(true, 30), unit(true, 30)}, 4, rules());
    EXPECT_FLOAT_EQ(both[0].freq, 34);
    EXPECT_FLOAT_EQ(both[1].freq, 34);
    // Unit 2 behind: only unit 2 moves up (30/35 is closer to 1 than 34/39 or 30/39).
    TunedUnits second = applyFrequencyStep({unit(true, 35), unit(true, 30)}, 4, rules());
    EXPECT_FLOAT_EQ(second[0].freq, 35);
    EXPECT_FLOAT_EQ(second[1].freq, 34);
    // Ratio 1.5 (f2 = 1.5 f1) at 30 / 40: going down, unit 1 moves (26/40 = 1.54).
    TunedUnits first = applyFrequencyStep({unit(true, 30), unit(true, 40)}, -4, rules(1.5f));
    EXPECT_FLOAT_EQ(first[0].freq, 26);
    EXPECT_FLOAT_EQ(first[1].freq, 40);
}

TEST(FrequencyStep, AUnitAtItsLimitCannotWinByMovingNothing) {
    // Unit 2 at its maximum: "only unit 2" keeps the ratio 1 exactly but changes nothing; unit 1 moves.
    TunedUnits after = applyFrequencyStep({unit(true, 40), unit(true, 40, false, 22, 40)}, 3, rules());
    EXPECT_FLOAT_EQ(after[0].freq, 43);
    EXPECT_FLOAT_EQ(after[1].freq, 40);
    // Both at their maxima: nothing to do without unit switching.
    TunedUnits stuck = applyFrequencyStep({unit(true, 50), unit(true, 50)}, 3, rules(1, true));
    EXPECT_FLOAT_EQ(stuck[0].freq, 50);
    EXPECT_FLOAT_EQ(stuck[1].freq, 50);
    EXPECT_TRUE(stuck[0].selected && stuck[1].selected);
}

TEST(FrequencyStep, WhileBothRunMinFreqSyncIsTheLowerBoundAndMinFreqStillHolds) {
    TunedUnits sync = applyFrequencyStep({unit(true, 30), unit(true, 30)}, -10, rules(1, false, 25));
    EXPECT_FLOAT_EQ(sync[0].freq, 25);
    EXPECT_FLOAT_EQ(sync[1].freq, 25);
    TunedUnits minimum = applyFrequencyStep({unit(true, 30), unit(true, 30)}, -10, rules(1, false, 15));
    EXPECT_FLOAT_EQ(minimum[0].freq, 22);
    EXPECT_FLOAT_EQ(minimum[1].freq, 22);
    // One unit alone may go below minFreqSync, down to its minFreq.
    EXPECT_FLOAT_EQ(applyFrequencyStep({unit(true, 30), unit(false, 0)}, -10, rules(1, false, 25))[0].freq,
                    22);
    // Frequencies below the bound are brought up even by a step down when nothing else moves.
    TunedUnits raised = applyFrequencyStep({unit(true, 22), unit(true, 22)}, -2, rules(1, false, 25));
    EXPECT_FLOAT_EQ(raised[0].freq, 25);
    EXPECT_FLOAT_EQ(raised[1].freq, 25);
}

TEST(FrequencyStep, WithUnitSwitchingASecondUnitJoinsAtTheMaximumSharingTheFlow) {
    // НУ1 alone at 50 Hz and 9 Hz more wanted: 59 Hz of flow shared 30 / 29.
    TunedUnits after = applyFrequencyStep({unit(true, 50), unit(false, 0, true)}, 9, rules(1, true));
    EXPECT_TRUE(after[1].selected);
    EXPECT_FLOAT_EQ(after[0].freq + after[1].freq, 59);
    EXPECT_NEAR(after[1].freq / after[0].freq, 1, 0.05);
    // In the ratio 1.5: 30 / 45 for 75 Hz.
    TunedUnits ratio = applyFrequencyStep({unit(true, 50), unit(false, 0, true)}, 25, rules(1.5f, true));
    EXPECT_FLOAT_EQ(ratio[0].freq, 30);
    EXPECT_FLOAT_EQ(ratio[1].freq, 45);
    // НУ2 alone, НУ1 joins.
    TunedUnits first = applyFrequencyStep({unit(false, 0, true), unit(true, 50)}, 2, rules(1, true));
    EXPECT_TRUE(first[0].selected);
    EXPECT_FLOAT_EQ(first[0].freq + first[1].freq, 52);
    // The ratio is kept within the bounds: 52 Hz at ratio 2 would be 17 / 35, the bound makes it 22 / 30.
    TunedUnits bounded = applyFrequencyStep({unit(true, 50), unit(false, 0, true)}, 2, rules(2, true));
    EXPECT_FLOAT_EQ(bounded[0].freq, 22);
    EXPECT_FLOAT_EQ(bounded[1].freq, 30);
}

TEST(FrequencyStep, NoUnitJoinsWithoutSwitchingOrWhenItMayNotOrWhenThePairWouldJump) {
    TunedUnits off = applyFrequencyStep({unit(true, 50), unit(false, 0, true)}, 5, rules(1, false));
    EXPECT_FALSE(off[1].selected);
    TunedUnits locked = applyFrequencyStep({unit(true, 50), unit(false, 0, false)}, 5, rules(1, true));
    EXPECT_FALSE(locked[1].selected);
    // Below its maximum the unit moves first.
    TunedUnits below = applyFrequencyStep({unit(true, 47), unit(false, 0, true)}, 5, rules(1, true));
    EXPECT_FALSE(below[1].selected);
    EXPECT_FLOAT_EQ(below[0].freq, 50);
    // With lower bounds of 30 the pair carries at least 60 Hz: 50 + 5 would jump to 60, so no switch.
    TunedUnits jump = applyFrequencyStep({unit(true, 50), unit(false, 0, true)}, 5, rules(1, true, 30));
    EXPECT_FALSE(jump[1].selected);
    EXPECT_FLOAT_EQ(jump[0].freq, 50);
}

TEST(FrequencyStep, WithUnitSwitchingOneOfTwoLeavesAtTheLowerBoundTheOtherTakingTheFlow) {
    // Both at 22 Hz and 10 Hz less wanted: НУ2 (no priority) leaves, НУ1 runs 34 Hz.
    TunedUnits after = applyFrequencyStep({unit(true, 22, true), unit(true, 22, true)}, -10, rules(1, true));
    EXPECT_TRUE(after[0].selected);
    EXPECT_FALSE(after[1].selected);
    EXPECT_FLOAT_EQ(after[0].freq, 34);
    // With priority on НУ2, НУ1 leaves.
    FrequencyStepRules second = rules(1, true);
    second.priorityUnit = 2;
    TunedUnits prio = applyFrequencyStep({unit(true, 22, true), unit(true, 22, true)}, -10, second);
    EXPECT_FALSE(prio[0].selected);
    EXPECT_FLOAT_EQ(prio[1].freq, 34);
    // Only the unit that may be switched leaves, whatever the priority.
    TunedUnits onlyFirst =
        applyFrequencyStep({unit(true, 22, true), unit(true, 22, false)}, -10, rules(1, true));
    EXPECT_FALSE(onlyFirst[0].selected);
    EXPECT_FLOAT_EQ(onlyFirst[1].freq, 34);
    // Neither may: both stay at the bound.
    TunedUnits neither = applyFrequencyStep({unit(true, 22), unit(true, 22)}, -10, rules(1, true));
    EXPECT_TRUE(neither[0].selected && neither[1].selected);
    // One unit alone would need 60 Hz, above its maximum: both stay.
    TunedUnits tooMuch =
        applyFrequencyStep({unit(true, 32, true), unit(true, 32, true)}, -4, rules(1, true, 32));
    EXPECT_TRUE(tooMuch[0].selected && tooMuch[1].selected);
    // The last unit is never switched off.
    TunedUnits last = applyFrequencyStep({unit(true, 22, true), unit(false, 0, true)}, -10, rules(1, true));
    EXPECT_TRUE(last[0].selected);
    EXPECT_FLOAT_EQ(last[0].freq, 22);
}

// A rate that follows the flow: whatever the start, the steps move the flow monotonically to the
// target's and stay there, and a target between one and two units is not passed back and forth.
TEST(FrequencyStep, StepsOfAProportionalLoopReachTheFlowWithoutSwitchingBackAndForth) {
    for (float wantedFlow : {30.0f, 47.0f, 50.0f, 52.0f, 71.0f, 99.0f}) {
        TunedUnits units = {unit(true, 25, true), unit(false, 0, true)};
        float previousFlow = 25;
        int switches = 0;
        bool previouslyTwo = false;
        for (int cycle = 0; cycle < 40; ++cycle) {
            float flow = (units[0].selected ? units[0].freq : 0) + (units[1].selected ? units[1].freq : 0);
            int step = static_cast<int>(std::lround((wantedFlow - flow) * 0.6f));
            units = applyFrequencyStep(units, step, rules(1, true));
            bool two = units[0].selected && units[1].selected;
            switches += two != previouslyTwo;
            previouslyTwo = two;
            float next = (units[0].selected ? units[0].freq : 0) + (units[1].selected ? units[1].freq : 0);
            if (step != 0) {
                EXPECT_TRUE(step > 0 ? next >= flow : next <= flow) << wantedFlow << " cycle " << cycle;
            }
            previousFlow = next;
        }
        EXPECT_NEAR(previousFlow, std::min(wantedFlow, 100.0f), 1) << wantedFlow;
        EXPECT_LE(switches, 1) << wantedFlow;
    }
}

} // namespace
