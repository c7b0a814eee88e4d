#include "ChartTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace charttest;

namespace {

TEST(Ticks, NiceFactorComparesStrictly) {
    const std::pair<double, double> cases[] = {
        {1, 1},     {1.5, 1}, {1.51, 2}, {2.4, 2},  {2.45, 2.5}, {2.5, 2.5}, {2.6, 2.5},
        {2.61, 3},  {3.5, 3}, {3.51, 5}, {7.5, 5},  {7.51, 10},  {9.99, 10},
    };
    for (const auto& [m, factor] : cases) EXPECT_EQ(NiceFactor(m), factor) << m;
}

struct StepCase {
    double min, max;
    int length;
    double spacing;
    bool automatic;
    double step, newMin, newMax, first, last;
};

TEST(Ticks, StepAndTickRangeOfTheWorkedExamples) {
    const StepCase cases[] = {
        {0, 10, 400, 42, true, 1, 0, 10, 0, 10},
        {0, 8, 100, 42, true, 3, 0, 9, 0, 9},     // 9 - 8 < 1.5: the automatic end grows
        {0, 8, 100, 42, false, 3, 0, 8, 0, 6},
        {0, 7, 100, 42, true, 3, 0, 7, 0, 6},     // 9 - 7 is not below 1.5
        {0, 7, 100, 42, false, 3, 0, 7, 0, 6},
        {-0.0005, 0.0005, 500, 42, true, 1e-4, -0.0005, 0.0005, -0.0005, 0.0005},
        {1.005, 2, 84, 42, false, 0.5, 1.005, 2, 1, 2},  // the first tick lies below the range
        {1.005, 2, 84, 42, true, 0.5, 1, 2, 1, 2},
    };
    for (const StepCase& c : cases) {
        double min = c.min, max = c.max, step, first, last;
        ComputeTickStep(c.spacing, min, max, c.length, c.automatic, step, first, last);
        const std::string where = std::to_string(c.min) + ".." + std::to_string(c.max) + (c.automatic ? " auto" : " fixed");
        EXPECT_NEAR(step, c.step, c.step * 1e-12) << where;
        EXPECT_NEAR(min, c.newMin, 1e-12) << where;
        EXPECT_NEAR(max, c.newMax, 1e-12) << where;
        EXPECT_NEAR(first, c.first, 1e-12) << where;
        EXPECT_NEAR(last, c.last, 1e-12) << where;
    }
}

TEST(Ticks, RangeWithoutFiniteStepGetsStepZeroAndNoTicks) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, double> ranges[] = {{0, inf}, {-inf, 3}, {2, 2}, {std::nan(""), 1}};
    for (const auto& [lo, hi] : ranges) {
        double min = lo, max = hi, step = 1, first = 0, last = 0;
        ComputeTickStep(42, min, max, 400, true, step, first, last);
        EXPECT_EQ(step, 0);
        EXPECT_TRUE(std::isnan(first) && std::isnan(last));
        EXPECT_EQ(max, hi);  // the range stays as it was
        EXPECT_FALSE(CTickIterator(first, last, step).HasMore());
    }
}

std::vector<std::string> Labels(double first, double last, double step) {
    std::vector<std::string> labels;
    for (CTickIterator it(first, last, step); it.HasMore(); it.Next()) labels.push_back(it.Label());
    return labels;
}

TEST(Ticks, IteratorSnapsAccumulatedStepsAndLabelsWithTenDigits) {
    EXPECT_EQ(Labels(0, 0.3, 0.1), (std::vector<std::string>{"0", "0.1", "0.2", "0.3"}));
    EXPECT_EQ(Labels(-0.0005, 0.0005, 1e-4),
              (std::vector<std::string>{"-0.0005", "-0.0004", "-0.0003", "-0.0002", "-0.0001", "0", "0.0001",
                                        "0.0002", "0.0003", "0.0004", "0.0005"}));
    // The last tick may lie up to half a step beyond the last value given.
    EXPECT_EQ(Labels(0, 0.74, 0.25), (std::vector<std::string>{"0", "0.25", "0.5", "0.75"}));
    EXPECT_EQ(Labels(0, 0.6, 0.25), (std::vector<std::string>{"0", "0.25", "0.5"}));
    EXPECT_TRUE(Labels(std::nan(""), 1, 0.1).empty());
    EXPECT_TRUE(Labels(0, 1, std::nan("")).empty());
    // A step below the precision of the values would repeat one tick forever: the walk ends.
    EXPECT_EQ(Labels(1e20, 1e20 + 1e5, 1e3).size(), 1u);
}

TEST(Ticks, LabelsWriteExponentsWithThreeDigits) {
    const std::pair<double, const char*> cases[] = {
        {5e-7, "5e-007"},         {1.5e20, "1.5e+020"},  {-2e-5, "-2e-005"}, {1e100, "1e+100"},
        {1e-300, "1e-300"},       {0.0001, "0.0001"},    {-0.0, "0"},        {1234567890, "1234567890"},
        {12345678901.0, "1.23456789e+010"}, {0.30000000000000004, "0.3"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(FormatTickLabel(value), text) << value;
}

class TicksOnSurface : public ::testing::Test {
protected:
    QImage image_ = platform::MakeImage(600, 400);
    platform::Surface surface_{image_};
    CAutoChart chart_;
    std::vector<float> xs_, ys_;

    void SetData(std::vector<float> xs, std::vector<float> ys) {
        xs_ = std::move(xs);
        ys_ = std::move(ys);
        if (chart_.GetSeriesCount() == 0) chart_.AddSeries();
        chart_.GetSeries(0).SetData(xs_.data(), ys_.data(), static_cast<int>(xs_.size()));
    }
    // The width of a text in the label font.
    int Width(const char* text) {
        const platform::FontDescription old = surface_.SelectFont(chart_.labelFont);
        const int width = surface_.GetTextExtent(text).cx;
        surface_.SelectFont(old);
        return width;
    }
};

TEST_F(TicksOnSurface, FixedMarginsFollowTheLabelFontAndTheStyle) {
    // The label font, Arial of 10 pixels: character height 11, ascent 9; so the long tick part
    // is 3, the short one 1 and the label gap 2.
    struct Case {
        int style;
        platform::Rect insets;
    };
    const Case cases[] = {
        {0, {4, 9, 0, 15}},
        {kClosedFrame, {4, 9, 1, 15}},
        {kTicksAllSides, {4, 9, 2, 15}},
        {kTicksAllSides | kClosedFrame | kVerticalGrid, {4, 9, 2, 15}},
    };
    for (const Case& c : cases) {
        chart_.SetAxisStyle(c.style);
        EXPECT_EQ(chart_.FixedMargins(surface_, {0, 0, 600, 400}), c.insets) << c.style;
        EXPECT_EQ(chart_.tickLong, 3);
        EXPECT_EQ(chart_.tickShort, 1);
        EXPECT_EQ(chart_.labelGap, 2);
    }
}

TEST_F(TicksOnSurface, LabelMarginsMakeRoomForTheWidestLabels) {
    SetData({0, 10}, {0, 1});
    const platform::Rect m = chart_.LabelMargins(surface_, {0, 0, 400, 300});
    // x: step 1 over 0..10; y: two character heights (22 pixels) over 300 give 0.0733, so 0.05.
    EXPECT_EQ(chart_.xStep, 1);
    EXPECT_DOUBLE_EQ(chart_.yStep, 0.05);
    EXPECT_EQ(m.left, std::max(Width("0.05"), Width("10") / 2 + 1 - 4));
    EXPECT_EQ(m.right, Width("10") / 2 + 1);
    EXPECT_EQ(m.top, 0);
    EXPECT_EQ(m.bottom, 0);
    EXPECT_TRUE(chart_.xRangeValid);  // the ranges are kept for the rest of the pass
}

TEST_F(TicksOnSurface, XTickSpacingGrowsUntilTheWidestLabelFits) {
    SetData({0, 100000}, {0, 1});
    surface_.SelectFont(chart_.labelFont);
    chart_.surface = &surface_;
    chart_.rect = {0, 0, 300, 200};
    chart_.ComputeRanges();
    // Six characters (24 pixels) give step 10000: 30 pixels apart, too close for "100000" and
    // three characters more; the spacing grows until the step doubles.
    const int widest = chart_.ComputeXTicks();
    EXPECT_EQ(widest, Width("100000"));
    EXPECT_EQ(chart_.xStep, 20000);
    EXPECT_GE(300 * chart_.xStep / (chart_.xMax - chart_.xMin), widest + 3 * 4);
    EXPECT_EQ(chart_.xFirstTick, 0);
    EXPECT_EQ(chart_.xLastTick, 100000);

    // On a plot narrower than any spacing that fits, the loop still ends.
    chart_.rect = {0, 0, 30, 200};
    chart_.ComputeXTicks();
    EXPECT_GT(chart_.xStep, 0);
}

TEST_F(TicksOnSurface, YTicksUseTwoCharacterHeightsAndWidenAnAutomaticRange) {
    SetData({0, 1}, {0, 0.93f});
    surface_.SelectFont(chart_.labelFont);
    chart_.surface = &surface_;
    chart_.rect = {0, 0, 300, 100};
    chart_.ComputeRanges();
    const int widest = chart_.ComputeYTicks();
    // 22 pixels over 100 for 0.93: rough 0.2046, so step 0.2; 1 - 0.93 is below half a step.
    EXPECT_DOUBLE_EQ(chart_.yStep, 0.2);
    EXPECT_DOUBLE_EQ(chart_.yMax, 1);
    EXPECT_DOUBLE_EQ(chart_.yLastTick, 1);
    EXPECT_EQ(widest, Width("0.2"));
}

}  // namespace
