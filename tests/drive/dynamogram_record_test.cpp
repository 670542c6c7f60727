// The dynamogram record, the phase of a sample and the panel drawing, on their own.

#include "drive/dynamogram_phase.h"
#include "drive/dynamogram_record.h"
#include "tests/support/test_board.h"
#include "ui/dynamogram_plot.h"
#include "ui/font.h"

#include <gtest/gtest.h>

namespace {

TEST(DynamogramRecord, ExtremesStartAtTheFloatLimitsAndFollowEverySample) {
    DynamogramRecord record;
    EXPECT_EQ(record.minLoad(), FLT_MAX);
    EXPECT_EQ(record.maxLoad(), FLT_MIN);
    record.appendUp(3000);
    record.appendDown(1200);
    record.appendDown(4500);
    EXPECT_FLOAT_EQ(record.minLoad(), 1200);
    EXPECT_FLOAT_EQ(record.maxLoad(), 4500);
    EXPECT_FALSE(record.skip);
    DynamogramCycle cycle = record.cycle();
    EXPECT_EQ(cycle.upLoads, (std::vector<float>{3000}));
    EXPECT_EQ(cycle.downLoads, (std::vector<float>{1200, 4500}));
}

TEST(DynamogramRecord, AFullSequenceDoesNotGrowAndMarksTheRecordSkip) {
    DynamogramRecord record;
    for (size_t i = 0; i < kDynamogramMaxSamples; ++i)
        record.appendUp(1000);
    EXPECT_FALSE(record.skip);
    record.appendUp(9000);
    EXPECT_TRUE(record.skip);
    EXPECT_EQ(record.upLoads().size(), kDynamogramMaxSamples);
    EXPECT_FLOAT_EQ(record.maxLoad(), 9000);
    record.appendDown(500); // the other sequence still takes samples
    EXPECT_EQ(record.downLoads().size(), 1u);
}

struct PhaseCase {
    bool valveInUse, valveOn, turns, pauses;
    SamplePhase phase;
};

TEST(DynamogramPhase, EveryCombinationOfValvesDrivesAndPauseRecording) {
    const PhaseCase cases[] = {
        {false, false, true, true, SamplePhase::Up},    {false, false, false, true, SamplePhase::Down},
        {false, true, false, false, SamplePhase::Down}, {false, true, true, false, SamplePhase::Up},
        {true, true, false, true, SamplePhase::Down},   {true, true, false, false, SamplePhase::Down},
        {true, true, true, true, SamplePhase::None},    {true, true, true, false, SamplePhase::Down},
        {true, false, true, true, SamplePhase::Up},     {true, false, true, false, SamplePhase::Up},
        {true, false, false, true, SamplePhase::Down},  {true, false, false, false, SamplePhase::None},
    };
    for (const PhaseCase& c : cases)
        EXPECT_EQ(dynamogramSamplePhase(c.valveInUse, c.valveOn, c.turns, c.pauses), c.phase)
            << c.valveInUse << c.valveOn << c.turns << c.pauses;
}

TEST(DynamogramPlot, AxisLabelsChangeTheirFormatWithTheMagnitude) {
    EXPECT_EQ(axisLabel(12345), "12.3k");
    EXPECT_EQ(axisLabel(5230), "5.23k");
    EXPECT_EQ(axisLabel(1000), "1.00k");
    EXPECT_EQ(axisLabel(999.9f), "999.9");
    EXPECT_EQ(axisLabel(12.34f), "12.3");
    EXPECT_EQ(axisLabel(3.456f), "3.46");
    EXPECT_EQ(axisLabel(-2500), "-2.50k");
}

// Lit pixels in a rectangle of the layer.
int lit(const Layer& layer, int left, int right, int top, int bottom) {
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            count += layer.pixel(x, y) != 0;
    return count;
}

class DynamogramPlotTest : public ::testing::Test {
protected:
    DynamogramPlotTest() : font(board.path("/usr/share/fonts/truetype/verdana.ttf")) {
        for (int i = 0; i < 80; ++i)
            record.appendUp(2000.0f + 40.0f * i);
        for (int i = 0; i < 60; ++i)
            record.appendDown(i < 20 ? 5000.0f : 1500.0f);
        record.strokesPerMinute = 4.3f;
    }
    TestBoard board;
    Font font;
    DynamogramRecord record;
};

TEST_F(DynamogramPlotTest, TheCurveLiesLeftOfTheFiguresWhichEndWithTheFillFactor) {
    ASSERT_TRUE(font.usable());
    Layer plot;
    drawDynamogramPlot(plot, record, 0.67f, &font, 240, 64);
    EXPECT_EQ(plot.width(), 240);
    EXPECT_EQ(plot.height(), 64);
    EXPECT_TRUE(plot.visible);
    EXPECT_EQ(plot.mode, kBlendOpaque);
    EXPECT_GT(lit(plot, 28, 148, 3, 55), 100);  // the curve
    EXPECT_GT(lit(plot, 154, 240, 0, 8), 20);   // "Gmin=1500 кгс"
    EXPECT_GT(lit(plot, 154, 240, 45, 53), 20); // "K=0.67", the sixth line
    EXPECT_GT(lit(plot, 0, 26, 0, 10), 10);     // the maximum's label
    // The highest load at the top of the curve box, the lowest at its bottom.
    EXPECT_GT(lit(plot, 28, 148, 3, 6), 0);
    EXPECT_GT(lit(plot, 28, 148, 52, 55), 0);
}

TEST_F(DynamogramPlotTest, WithoutADownStrokeThereIsNoFillFactorAndWithoutAFontOnlyTheCurve) {
    DynamogramRecord upOnly;
    upOnly.appendUp(1000);
    upOnly.appendUp(3000);
    Layer upOnlyPlot;
    drawDynamogramPlot(upOnlyPlot, upOnly, 0.5f, &font, 240, 64);
    EXPECT_GT(lit(upOnlyPlot, 154, 240, 36, 44), 20); // "h=0.0/мин", the fifth line
    EXPECT_EQ(lit(upOnlyPlot, 154, 240, 45, 53), 0);
    Layer plot;
    drawDynamogramPlot(plot, record, 0.67f, nullptr, 240, 64);
    EXPECT_EQ(lit(plot, 150, 240, 0, 64), 0);
    EXPECT_GT(lit(plot, 28, 148, 3, 55), 100);
}

TEST_F(DynamogramPlotTest, AnEmptyRecordOrATinyLayerDrawsWithoutFault) {
    DynamogramRecord empty;
    Layer plot;
    drawDynamogramPlot(plot, empty, 0.5f, &font, 240, 64);
    EXPECT_EQ(lit(plot, 28, 148, 3, 54), 0);
    drawDynamogramPlot(plot, record, 0.5f, &font, 20, 8);
    EXPECT_EQ(plot.width(), 20);
}

} // namespace
