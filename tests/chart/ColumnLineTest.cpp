// A line drawn per pixel column must draw exactly the pixels of the same line drawn segment by
// segment: compared pixel for pixel on random signals, also where the line leaves the plot, has
// gaps, runs backwards or has fewer points than the plot has columns; with and without an index
// of the values' extremes (chart/BlockExtremes.h).
#include "ChartTestSupport.h"

#include "chart/BlockExtremes.h"
#include "chart/ColumnLine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace charttest;

namespace {

struct Case {
    std::string name;
    int width, height;  // of the plot
    int samples;
    double x0, dx;      // time base; the x range below is in the same unit
    double xFrom, xTo;  // view; from > to: the samples' own times
    double yFrom, yTo;  // view in parts of the signal's range (0..1 the whole of it)
    int gaps;           // runs of values that are not a number or infinite
    bool xArray;        // x values from an array (a wandering walk) instead of x0 + i * dx
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// A random walk with spikes and steps, so that columns hold runs that go up, down and back.
std::vector<float> Walk(int n, std::mt19937& random) {
    std::normal_distribution<float> step(0, 1);
    std::uniform_int_distribution<int> spike(0, 200);
    std::vector<float> y(static_cast<std::size_t>(n));
    float v = 0;
    for (int i = 0; i < n; ++i) {
        v += step(random);
        const int s = spike(random);
        y[static_cast<std::size_t>(i)] = s == 0 ? v + 40 : s == 1 ? v - 40 : v;
        if (s == 2) v += 15;
    }
    return y;
}

void AddGaps(std::vector<float>& y, int gaps, std::mt19937& random) {
    if (y.empty()) return;
    std::uniform_int_distribution<std::size_t> where(0, y.size() - 1);
    std::uniform_int_distribution<std::size_t> length(1, 1 + y.size() / 50);
    for (int g = 0; g < gaps; ++g) {
        const float value = g % 3 == 0 ? kNaN : g % 3 == 1 ? kInf : -kInf;
        const std::size_t at = where(random), n = length(random);
        for (std::size_t i = at; i < std::min(y.size(), at + n); ++i) y[i] = value;
    }
}

// The chart's ranges from the case: the view of the signal's values is given in parts of
// their finite range, so that 0.2..0.8 cuts the line at both edges.
void SetRanges(CAutoSeries& s, const Case& c, const std::vector<float>& y) {
    double lo = INFINITY, hi = -INFINITY;
    for (float v : y)
        if (std::isfinite(v)) lo = std::min<double>(lo, v), hi = std::max<double>(hi, v);
    if (!(lo < hi)) lo = -1, hi = 1;
    s.SetYRange(lo + c.yFrom * (hi - lo), lo + c.yTo * (hi - lo));
    if (c.xFrom < c.xTo) {
        s.SetXRange(c.xFrom, c.xTo);
    } else {
        const double a = c.x0, b = c.x0 + (c.samples - 1) * c.dx;
        s.SetXRange(std::min(a, b) - (a == b), std::max(a, b) + (a == b));
    }
}

QImage Draw(const Case& c, const std::vector<float>* x, const std::vector<float>& y, int lineType,
           bool indexed = false) {
    CAutoSeries s;
    s.SetData(x ? x->data() : nullptr, y.data(), c.samples);
    const BlockExtremes blocks(y.data(), y.size());
    if (indexed) s.blocks = &blocks;
    s.x0 = c.x0;
    s.dx = c.dx;
    s.SetLineType(lineType);
    SetRanges(s, c, y);
    const platform::Rect plot{5, 7, 5 + c.width, 7 + c.height};
    return Drawn(c.width + 10, c.height + 14, [&](platform::Surface& surface) { s.Draw(surface, plot); });
}

std::string Difference(const QImage& a, const QImage& b) {
    int n = 0;
    std::string first;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y) && n++ == 0) first = std::to_string(x) + "," + std::to_string(y);
    return std::to_string(n) + " pixels differ, first at " + first;
}

class ColumnLine : public ::testing::TestWithParam<Case> {};

TEST_P(ColumnLine, DrawsThePixelsOfEverySegment) {
    const Case& c = GetParam();
    for (unsigned seed = 1; seed <= 3; ++seed) {
        std::mt19937 random(seed);
        std::vector<float> y = Walk(c.samples, random);
        AddGaps(y, c.gaps, random);
        std::vector<float> x;
        if (c.xArray) {
            // Mostly forward with steps back, so that columns are entered more than once.
            std::normal_distribution<float> step(0.6f, 1);
            float t = 0;
            for (int i = 0; i < c.samples; ++i) x.push_back(t += step(random));
        }
        const QImage everySegment = Draw(c, c.xArray ? &x : nullptr, y, kLineStraight);
        const QImage columns = Draw(c, c.xArray ? &x : nullptr, y, kLineColumns);
        const QImage indexed = Draw(c, c.xArray ? &x : nullptr, y, kLineColumns, true);
        ASSERT_GT(CountOf(everySegment, kBlack) + (c.samples < 2), 0) << "nothing drawn: the case shows nothing";
        EXPECT_TRUE(columns == everySegment) << c.name << " seed " << seed << ": " << Difference(columns, everySegment);
        EXPECT_TRUE(indexed == everySegment) << c.name << " seed " << seed << ", block index: " << Difference(indexed, everySegment);
    }
}

const double kOwn = 1, kNone = 0;  // xFrom > xTo: the samples' own times

INSTANTIATE_TEST_SUITE_P(
    RandomSignals, ColumnLine,
    ::testing::Values(
        Case{"ManyPerColumn", 1000, 600, 200'000, 0, 0.001, kOwn, kNone, 0, 1, 0, false},
        Case{"CutAtBothEdges", 400, 300, 60'000, 5, 0.01, kOwn, kNone, 0.3, 0.7, 0, false},
        Case{"ZoomedIn", 300, 200, 50'000, 0, 1, 20'000.5, 21'000.5, 0.2, 0.9, 0, false},
        Case{"Gaps", 500, 250, 40'000, 0, 0.5, kOwn, kNone, 0, 1, 12, false},
        Case{"GapsAndCuts", 333, 177, 30'000, -3, 0.25, kOwn, kNone, 0.25, 0.75, 9, false},
        Case{"GapsManyPerColumn", 300, 200, 100'000, 0, 0.01, kOwn, kNone, 0, 1, 30, false},
        Case{"Backwards", 640, 480, 50'000, 100, -0.002, kOwn, kNone, 0.1, 0.95, 4, false},
        Case{"FewerSamplesThanColumns", 997, 301, 150, 0, 3, kOwn, kNone, 0.1, 0.9, 2, false},
        Case{"OneColumnAll", 200, 120, 5'000, 7, 0, 6, 8, 0, 1, 3, false},
        Case{"TinyPlot", 2, 2, 3'000, 0, 1, kOwn, kNone, 0.4, 0.6, 1, false},
        Case{"TwoSamples", 50, 40, 2, 0, 1, kOwn, kNone, 0, 1, 0, false},
        Case{"WanderingX", 450, 260, 20'000, 0, 1, 100, 4000, 0.15, 0.85, 5, true}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

// The reduction keeps few points where many share a column, and always the first and last:
// the highest and lowest before the last point's row, the nearer of them to the first first,
// and the point before the last point's row.
TEST(ColumnReducer, KeepsTheEndsAndTheExtremesOfEachColumn) {
    std::vector<int> kept;
    ColumnReducer reducer({0, 0, 10, 10}, kept);
    const int rows[] = {3, 2, 8, 5, 4, 6};  // all in column 1
    for (int i = 0; i < 6; ++i) reducer.Add(i, {1, rows[i]});
    for (int i = 6; i < 10; ++i) reducer.Add(i, {20, 0});  // outside: first and last kept
    reducer.Add(10, {2, 5});
    reducer.Finish();
    EXPECT_EQ(kept, (std::vector<int>{0, 1, 2, 4, 5, 6, 9, 10}));
}

}  // namespace
