// The chromatogram chart read pixel by pixel on small hand-made chromatograms: the areas of the
// calibration's components filled between signal and baseline, baselines drawn, other peaks
// outlined only; and the faults of a chromatogram drawn as far as they allow.
#include "ChartTestSupport.h"

#include "chart/ChromatogramPlot.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using namespace charttest;

namespace {

constexpr int kWidth = 600, kHeight = 400;

std::shared_ptr<const chromatogram::ChromatogramFile> Read(const fixtures::ChromatogramFixture& c) {
    fixtures::TempDir dir;
    const std::string path = dir.Path() + "/c.stg";
    fixtures::WriteStg(path, c);
    auto file = std::make_shared<chromatogram::ChromatogramFile>();
    EXPECT_TRUE(file->Read(path));
    return file;
}

struct Drawn {
    CAutoChart chart;
    ChromatogramPlot plot;
    QImage image;

    explicit Drawn(std::shared_ptr<const chromatogram::ChromatogramFile> file) {
        ChromatogramPlot::Configure(chart);
        plot.Show(chart, std::move(file));
        image = charttest::Drawn(kWidth, kHeight, [&](platform::Surface& s) { chart.Draw(s, {0, 0, kWidth, kHeight}); });
    }
    int Column(double t) const { return chart.XToPixel(t); }
    int Row(double v) const { return chart.YToPixel(v); }
    bool At(double t, double v, platform::Rgb c) const { return Is(image, Column(t), Row(v), c); }
};

// A flat signal at 10 with two triangles: one at 20..40 (apex 110 at 30) and one at 60..70
// (apex 60 at 65), one sample per time unit. The first is "этанол" over 18..42; the second is
// an unnamed peak over 58..72 grouped with a third window 72..80, so that their shared
// baseline runs from the signal at 58 to the signal at 80 and lies under the signal between.
fixtures::ChromatogramFixture HandMade() {
    fixtures::ChromatogramFixture c;
    for (int i = 0; i <= 100; ++i) {
        double v = 10;
        if (i > 20 && i < 40) v += 100 - 10 * std::abs(i - 30);
        if (i > 60 && i < 70) v += 50 - 10 * std::abs(i - 65);
        if (i >= 72 && i <= 80) v += 2 * (i - 72);  // a ramp, so that the group's baseline slopes
        c.signal.push_back(static_cast<float>(v));
    }
    c.table.peaks = {fixtures::MakePeak(18, 42, "Этанол"), fixtures::MakePeak(58, 72, "", 2),
                     fixtures::MakePeak(72, 80, "")};
    return c;
}

TEST(ChromatogramPlot, FillsTheCalibrationPeaksAndOutlinesTheOthers) {
    const Drawn d(Read(HandMade()));
    // "этанол": filled between its baseline (10) and the signal, not outside its window.
    EXPECT_TRUE(d.At(30, 60, kEthanolAreaColor));
    EXPECT_TRUE(d.At(24, 40, kEthanolAreaColor));  // the signal there is 50
    EXPECT_FALSE(d.At(24, 70, kEthanolAreaColor)) << "filled above the signal";
    EXPECT_TRUE(d.At(30, 111, kSignalColor) || d.At(30, 110, kSignalColor));
    EXPECT_EQ(CountOf(d.image, kEthanolAreaColor, {0, 0, d.Column(17), kHeight}), 0);
    EXPECT_EQ(CountOf(d.image, kEthanolAreaColor, {d.Column(43), 0, kWidth, kHeight}), 0);
    EXPECT_EQ(CountOf(d.image, kStandardAreaColor), 0);

    // The unnamed group: no fill, its baseline from (58, 10) to (80, 26) drawn in the window's
    // colour under the signal, and the edge at 72 from the baseline up to the signal.
    const double baseAt65 = 10 + (65.0 - 58) * 16 / 22;
    EXPECT_TRUE(d.At(65, baseAt65, kWindowColor));
    EXPECT_FALSE(d.At(65, 35, kEthanolAreaColor) || d.At(65, 35, kStandardAreaColor));
    EXPECT_TRUE(Is(d.image, d.Column(72), (d.Row(10 + 14.0 * 16 / 22) + d.Row(10)) / 2, kWindowColor));

    // The name at the apex: dark text pixels just above it, none for the unnamed peaks.
    const int apexColumn = d.Column(30), apexRow = d.Row(110);
    EXPECT_GT(CountDark(d.image, {apexColumn - 25, apexRow - 20, apexColumn + 25, apexRow - 2}), 10);
    EXPECT_EQ(CountDark(d.image, {d.Column(60), d.Row(60) - 20, d.Column(70), d.Row(60) - 2}), 0);

    // Axes titled with time and detector response: blue title pixels on both sides.
    EXPECT_GT(CountBluish(d.image, {0, 0, 15, kHeight}), 20);
    EXPECT_GT(CountBluish(d.image, {kWidth / 2, kHeight - 15, kWidth, kHeight}), 20);
}

// A name keeps above the signal: beside a taller peak closer than half its width it rises above
// that peak rather than covering its line; where names crowd, the ones that would overlap a
// name drawn before are left out, the calibration's components first.
TEST(ChromatogramPlot, NamesKeepAboveTheSignalAndOutOfEachOthersWay) {
    fixtures::ChromatogramFixture c;
    for (int i = 0; i <= 100; ++i) {
        double v = 10;
        if (i > 20 && i < 40) v += 100 - 10 * std::abs(i - 30);  // apex 110 at 30
        if (i == 32) v = 250;                                    // a tall spike beside it
        if (i > 60 && i < 80) v += 60 - 6 * std::abs(i - 70);    // apex 70 at 70
        c.signal.push_back(static_cast<float>(v));
    }
    c.table.peaks = {fixtures::MakePeak(20, 31, "этанол"), fixtures::MakePeak(31.5, 32.5, ""),
                     fixtures::MakePeak(60, 80, "пик"), fixtures::MakePeak(60, 80, "изопропанол")};
    const Drawn d(Read(c));
    const int column = d.Column(30);
    const auto namePixels = [&](int bottom) { return CountDark(d.image, {column - 25, bottom - 16, column + 25, bottom}); };
    EXPECT_GT(namePixels(d.Row(250) - 2), 10) << "the name is not above the spike";
    EXPECT_EQ(namePixels(d.Row(110) - 2), 0) << "the name covers the spike's line";

    // Two names at one apex: only the component's, the longer text, is drawn.
    const int apex = d.Column(70), bottom = d.Row(70) - 2;
    int left = apex, right = apex;
    for (int x = apex - 60; x < apex + 60; ++x)
        if (CountDark(d.image, {x, bottom - 16, x + 1, bottom}) > 0) left = std::min(left, x), right = std::max(right, x);
    EXPECT_GT(right - left, 45) << "the shorter name was drawn instead of the component's";
}

// Faults of the chromatogram: each is drawn as far as it allows, and never crashes or hangs.
struct Fault {
    const char* name;
    std::function<void(fixtures::ChromatogramFixture&)> make;
    bool signalDrawn;   // the signal's colour appears
    int peaksInView;    // peaks whose window lies in the full view
};

class ChromatogramFaults : public ::testing::TestWithParam<Fault> {};

TEST_P(ChromatogramFaults, AreDrawnAsFarAsTheyAllow) {
    fixtures::ChromatogramFixture c = HandMade();
    GetParam().make(c);
    const Drawn d(Read(c));
    const ChartView v = d.plot.FullView();
    EXPECT_LT(v.xMin, v.xMax);
    EXPECT_LT(v.yMin, v.yMax);
    EXPECT_EQ(CountOf(d.image, kSignalColor) > 0, GetParam().signalDrawn);
    EXPECT_EQ(static_cast<int>(d.plot.PeaksWithin(v.xMin, v.xMax).size()), GetParam().peaksInView);
    EXPECT_GT(CountOf(d.image, kBlack), 100) << "no frame: nothing was drawn";
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Chromatograms, ChromatogramFaults,
    ::testing::Values(
        Fault{"ZeroStep", [](auto& c) { c.step = 0; }, true, 3},
        Fault{"NegativeStep", [](auto& c) { c.startTime = 100, c.step = -1; }, true, 3},
        Fault{"NoSamples", [](auto& c) { c.signal.clear(); }, false, 3},
        Fault{"OneSample", [](auto& c) { c.signal.resize(1); }, false, 3},
        Fault{"WindowOutsideTheSignal",
              [](auto& c) { c.table.peaks.push_back(fixtures::MakePeak(500, 520, "изопропанол")); }, true, 3},
        Fault{"NotANumberRun", [](auto& c) { std::fill(c.signal.begin() + 25, c.signal.begin() + 35, kNaN); }, true, 3},
        Fault{"AllNotANumber", [](auto& c) { std::fill(c.signal.begin(), c.signal.end(), kNaN); }, false, 3},
        Fault{"LargestFloats",  // the value range's span exceeds what a float holds
              [](auto& c) { c.signal[50] = std::numeric_limits<float>::max(), c.signal[51] = -c.signal[50]; },
              true, 3},
        Fault{"InfiniteSamples",
              [](auto& c) { c.signal[50] = std::numeric_limits<float>::infinity(), c.signal[51] = -c.signal[50]; },
              true, 3}),
    [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

TEST(ChromatogramPlot, ViewOfSomeTimesFitsTheValuesThere) {
    const Drawn d(Read(HandMade()));
    const ChartView v = d.plot.ViewOf(55, 75);
    EXPECT_EQ(v.xMin, 55);
    EXPECT_EQ(v.xMax, 75);
    EXPECT_LT(v.yMin, 10);
    EXPECT_GT(v.yMax, 60);
    EXPECT_LT(v.yMax, 110) << "fitted to the times asked for, not to the whole signal";
    EXPECT_EQ(d.plot.SamplesWithin(55, 75), 21);
    EXPECT_EQ(d.plot.PeaksWithin(55, 75), (std::vector<int>{1, 2}));
}

}  // namespace
