#include "chart/auto.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

CAutoFrame FrameOver(platform::Rect rect, double xMin, double xMax, double yMin, double yMax) {
    CAutoFrame f;
    f.rect = rect;
    f.xMin = xMin;
    f.xMax = xMax;
    f.yMin = yMin;
    f.yMax = yMax;
    return f;
}

TEST(ChartModel, StartsWithItsInitialValues) {
    CAutoChart chart;
    EXPECT_EQ(chart.flags, 0);
    EXPECT_TRUE(chart.autoX && chart.autoY);
    EXPECT_EQ(chart.xDigits, 3);
    EXPECT_EQ(chart.gridColor, (platform::Rgb{191, 191, 191}));
    EXPECT_EQ(chart.xStep, 1.0);
    EXPECT_TRUE(std::isnan(chart.xFirstTick));
    EXPECT_EQ(chart.labelFont.faceName, "Arial");
    EXPECT_EQ(chart.labelFont.height, -10);  // 8 points at 96 DPI
    EXPECT_EQ(chart.titleFont.faceName, "Times New Roman");
    EXPECT_EQ(chart.titleFont.height, -13);
    EXPECT_EQ(chart.titleColor, (platform::Rgb{0, 0, 255}));
    EXPECT_TRUE(chart.buffered);
    chart.SetLightBackground(false);
    EXPECT_EQ(chart.backColor, (platform::Rgb{50, 50, 50}));
    chart.SetLightBackground(true);
    EXPECT_EQ(chart.backColor, (platform::Rgb{255, 255, 255}));

    CAutoSeries& s = chart.GetSeries(chart.AddSeries());
    EXPECT_EQ(s.markerSize, 4);
    EXPECT_EQ(s.lineType, kLineStraight);
    EXPECT_EQ(s.splineSteps, 20);
    EXPECT_EQ(s.getX(s, 3), 3.0);  // generated: x0 + i * dx
}

TEST(ChartModel, MapsValuesToPixelsWithHalvesRoundedDown) {
    const CAutoFrame f = FrameOver({10, 20, 111, 61}, 0, 10, -1, 1);  // W = 101, H = 41
    EXPECT_EQ(f.XToPixel(0), 10);
    EXPECT_EQ(f.XToPixel(10), 110);
    EXPECT_EQ(f.XToPixel(0.5), 15);
    EXPECT_EQ(f.XToPixel(0.25), 12);   // offset 2.5 goes down
    EXPECT_EQ(f.XToPixel(-0.25), 7);   // offset -2.5 goes down too
    EXPECT_EQ(f.YToPixel(-1), 60);
    EXPECT_EQ(f.YToPixel(1), 20);
    EXPECT_EQ(f.YToPixel(0), 40);
    EXPECT_DOUBLE_EQ(f.PixelToX(15), 0.5);
    EXPECT_DOUBLE_EQ(f.PixelToY(20), 1.0);
    EXPECT_DOUBLE_EQ(f.PixelToY(60), -1.0);

    const CAutoFrame flat = FrameOver({10, 20, 111, 61}, 5, 5, 2, 2);
    EXPECT_EQ(flat.XToPixel(123), 0);
    EXPECT_EQ(flat.YToPixel(-7), 0);

    // Values with no finite pixel lie outside every plot and never overflow.
    EXPECT_EQ(f.XToPixel(std::nan("")), kNoPixel);
    EXPECT_EQ(f.XToPixel(1e300), kFarPixel);
    EXPECT_EQ(f.YToPixel(-std::numeric_limits<double>::infinity()), kFarPixel);
    EXPECT_FALSE(f.rect.Contains({f.XToPixel(1e300), 30}));
}

TEST(ChartModel, PolarAndLogarithmicFlagsChangeMappingAndValues) {
    CAutoSeries s;
    const float xs[] = {10, 100, 1000};
    const float ys[] = {1, 2, 4};
    s.SetData(xs, ys, 3);
    s.SetFlags(kLogX);
    EXPECT_DOUBLE_EQ(s.getX(s, 1), 2.0);
    EXPECT_DOUBLE_EQ(s.getY(s, 1), 2.0);
    double min, max;
    s.ComputeXDataRange(min, max);
    EXPECT_DOUBLE_EQ(min, 1.0);
    EXPECT_DOUBLE_EQ(max, 3.0);
    s.SetXRange(10, 1000);
    EXPECT_FALSE(s.autoX);
    EXPECT_DOUBLE_EQ(s.fixXMin, 1.0);
    EXPECT_DOUBLE_EQ(s.fixXMax, 3.0);
    s.xMin = 1;
    s.xMax = 3;
    s.rect = {0, 0, 101, 101};
    EXPECT_NEAR(s.PixelToX(50), 100.0, 1e-9);  // the inverse yields data values

    s.SetFlags(kPolar);
    EXPECT_TRUE(s.autoX);  // SetFlags makes both axes automatic
    s.rect = {0, 0, 101, 101};
    s.xMin = s.yMin = -2;
    s.xMax = s.yMax = 2;
    EXPECT_EQ(s.mapX(s, M_PI / 2, 2), 50);  // (r cos a, r sin a) = (0, 2)
    EXPECT_EQ(s.mapY(s, M_PI / 2, 2), 0);
    s.ComputeYDataRange(min, max);  // r sin a of (10, 1), (100, 2), (1000, 4)
    EXPECT_DOUBLE_EQ(min, 2 * std::sin(100.0));
    EXPECT_DOUBLE_EQ(max, 4 * std::sin(1000.0));
}

TEST(ChartModel, SetRangeWithEmptyOrReversedBoundsMakesTheAxisAutomatic) {
    CAutoFrame f;
    f.SetXRange(1, 2);
    EXPECT_FALSE(f.autoX);
    f.SetXRange(3, 3);
    EXPECT_TRUE(f.autoX);
    f.SetXRange(1, 2);
    f.SetXRange(4, 2);
    EXPECT_TRUE(f.autoX);
    EXPECT_EQ(f.fixXMin, 1);  // nothing else changes
    f.SetYRange(-5, 5);
    EXPECT_FALSE(f.autoY);
    EXPECT_EQ(f.fixYMax, 5);
}

TEST(ChartModel, DataRangeIgnoresNotANumberAsMinimumAndKeepsItAsMaximumOnlyUntilReplaced) {
    CAutoSeries s;
    const float ys[] = {3, kNaN, 1};
    const float ysEndingInNaN[] = {3, 1, kNaN};
    double min, max;
    s.SetData(nullptr, ys, 3);
    s.ComputeYDataRange(min, max);
    EXPECT_EQ(min, 1);
    EXPECT_EQ(max, 1);  // the not-a-number maximum was replaced by the next value
    s.SetData(nullptr, ysEndingInNaN, 3);
    s.ComputeYDataRange(min, max);
    EXPECT_EQ(min, 1);
    EXPECT_TRUE(std::isnan(max));

    s.SetData(nullptr, nullptr, 0);
    s.ComputeXDataRange(min, max);
    EXPECT_EQ(min, 0);
    EXPECT_EQ(max, 0);

    s.SetData(nullptr, nullptr, 5);
    s.SetMarker(kMarkerBands);
    s.ComputeXDataRange(min, max);
    EXPECT_EQ(min, DBL_MAX);
    EXPECT_EQ(max, -DBL_MAX);
}

struct RangeCase {
    float a, b;
    double min, max;
};

TEST(ChartModel, AutomaticRangeIsWidenedToThePrecision) {
    const RangeCase cases[] = {
        {5, 5, 4.9995, 5.0005},
        {1000, 1000.5f, 999.74975, 1000.75025},
        {1000, 1002, 1000, 1002},
        {-3, 7, -3, 7},
    };
    for (const RangeCase& c : cases) {
        CAutoChart chart;
        const float xs[] = {c.a, c.b};
        chart.GetSeries(chart.AddSeries()).SetData(xs, xs, 2);
        double min, max;
        chart.ComputeXRange(min, max);
        EXPECT_NEAR(min, c.min, 1e-9) << c.a << ".." << c.b;
        EXPECT_NEAR(max, c.max, 1e-9) << c.a << ".." << c.b;
        EXPECT_TRUE(chart.xRangeValid);
        // Remembered for the pass: later requests see the stored ends, even once moved.
        chart.xMax = 1e6;
        chart.ComputeXRange(min, max);
        EXPECT_EQ(max, 1e6);
    }
}

TEST(ChartModel, EmptyAndNotANumberDataGiveTheSmallestRangeAroundZero) {
    CAutoChart empty;
    double min, max;
    empty.ComputeXRange(min, max);
    EXPECT_DOUBLE_EQ(min, -0.0005);
    EXPECT_DOUBLE_EQ(max, 0.0005);

    CAutoChart chart;
    const float nans[] = {kNaN, kNaN, kNaN, kNaN};
    chart.GetSeries(chart.AddSeries()).SetData(nans, nans, 4);
    chart.AddSeries();
    chart.ComputeXRange(min, max);
    EXPECT_DOUBLE_EQ(min, -0.0005);
    EXPECT_DOUBLE_EQ(max, 0.0005);
    chart.ComputeYRange(min, max);
    EXPECT_DOUBLE_EQ(min, -0.0005);
    EXPECT_DOUBLE_EQ(max, 0.0005);
}

TEST(ChartModel, EmptySeriesForcesZeroIntoTheRangeAndBandsNeverWidenIt) {
    CAutoChart chart;
    const float xs[] = {4, 6};
    chart.GetSeries(chart.AddSeries()).SetData(xs, xs, 2);
    chart.AddSeries();
    const int bands[] = {0};
    const float from[] = {-100}, to[] = {100};
    CAutoSeries& band = chart.GetSeries(chart.AddSeries());
    band.SetData(from, to, 1);
    band.SetMarker(kMarkerBands);
    band.classes = bands;
    double min, max;
    chart.ComputeXRange(min, max);
    EXPECT_EQ(min, 0);
    EXPECT_EQ(max, 6);
}

TEST(ChartModel, AddSeriesKeepsTheSettingsAndDataOfEarlierSeries) {
    CAutoChart chart;
    const float xs[] = {1, 2, 3};
    CAutoSeries& first = chart.GetSeries(chart.AddSeries());
    first.SetData(xs, xs, 3);
    first.SetColor({255, 0, 0});
    first.SetMarker(kMarkerSquare);
    for (int i = 0; i < 20; ++i) chart.AddSeries();
    const CAutoSeries& moved = chart.GetSeries(0);
    EXPECT_EQ(moved.x, xs);
    EXPECT_EQ(moved.count, 3);
    EXPECT_EQ(moved.color, (platform::Rgb{255, 0, 0}));
    EXPECT_EQ(moved.marker, kMarkerSquare);
    EXPECT_EQ(moved.getX(moved, 2), 3.0);
    EXPECT_EQ(chart.GetSeriesCount(), 21);
}

}  // namespace
