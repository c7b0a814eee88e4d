// The overlay of the level chromatograms on the demo profile, read pixel by pixel against each
// level drawn alone in the same view; and the levels it cannot show, named with their reason.
#include "ChartTestSupport.h"

#include "chart/LevelOverlayPlot.h"
#include "core/Calc.h"
#include "support/DemoProfile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

using namespace charttest;

namespace {

constexpr int kWidth = 800, kHeight = 500;
constexpr std::array<double, 5> kFractions = core::CalibrationTable::kFractions;
constexpr int kSignals = 2 * LevelOverlayPlot::kMaxLevels;  // first signal series
constexpr int kWindows = 3 * LevelOverlayPlot::kMaxLevels;  // first window series

std::vector<OverlayLevel> DemoLevels(const fixtures::DemoProfile& demo) {
    std::vector<OverlayLevel> levels;
    for (std::size_t k = 0; k < kFractions.size(); ++k)
        levels.push_back(ReadOverlayLevel(kFractions[k], demo.levelPaths[k]));
    return levels;
}

QImage Draw(CAutoChart& chart) {
    return charttest::Drawn(kWidth, kHeight, [&](platform::Surface& s) { chart.Draw(s, {0, 0, kWidth, kHeight}); });
}

bool SameFloat(float a, float b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

TEST(LevelOverlayPlot, ShowsTheFiveDemoRunsEachAsItWouldBeDrawnAlone) {
    fixtures::TempDir dir;
    const fixtures::DemoProfile demo = fixtures::WriteDemoProfile(dir.Path() + "/demo");
    const std::vector<OverlayLevel> levels = DemoLevels(demo);

    CAutoChart chart;
    LevelOverlayPlot::Configure(chart);
    LevelOverlayPlot plot;
    plot.Show(chart, levels);
    const ChartView full = plot.FullView();

    // Five signals, time-aligned as recorded, in five colours; each level's windows are those
    // of its chromatogram on its own.
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE("level " + std::to_string(k));
        const chromatogram::ChromatogramFile& file = *levels[static_cast<std::size_t>(k)].file;
        const CAutoSeries& signal = chart.GetSeries(kSignals + k);
        EXPECT_EQ(signal.count, static_cast<int>(file.signal.samples.size()));
        EXPECT_EQ(signal.x0, file.signal.startTime);
        EXPECT_EQ(signal.dx, file.signal.step);
        EXPECT_EQ(signal.color, LevelOverlayPlot::LevelColor(k));
        CAutoChart alone;
        ChromatogramPlot::Configure(alone);
        ChromatogramPlot single;
        single.Show(alone, levels[static_cast<std::size_t>(k)].file);
        const CAutoSeries& expected = alone.GetSeries(kWindowSeries);
        const CAutoSeries& window = chart.GetSeries(kWindows + k);
        EXPECT_EQ(window.color, LevelOverlayPlot::LevelColor(k));
        ASSERT_EQ(window.count, expected.count);
        ASSERT_GT(window.count, 0);
        for (int i = 0; i < window.count; ++i)
            ASSERT_TRUE(SameFloat(window.x[i], expected.x[i]) && SameFloat(window.y[i], expected.y[i])) << i;
        EXPECT_LE(full.xMin, single.FullView().xMin);
        EXPECT_GE(full.xMax, single.FullView().xMax);
        EXPECT_GE(full.yMax, single.FullView().yMax);
    }
    std::vector<std::string> legend;
    for (const OverlayLegendEntry& entry : plot.Legend()) {
        EXPECT_FALSE(entry.missing) << entry.text;
        legend.push_back(entry.text);
    }
    EXPECT_EQ(legend, (std::vector<std::string>{"Уровень 0: Градуировка 0 (calibration-0.stg)",
                                                "Уровень 0.05: Градуировка 0.05 (calibration-0.05.stg)",
                                                "Уровень 0.1: Градуировка 0.1 (calibration-0.1.stg)",
                                                "Уровень 0.2: Градуировка 0.2 (calibration-0.2.stg)",
                                                "Уровень 0.5: Градуировка 0.5 (calibration-0.5.stg)"}));

    // Pixel by pixel: a level's colour appears only where that level alone, in the same view,
    // draws it; where the level alone draws and the overlay shows something else, a later level's
    // line lies over it.
    const QImage overlay = Draw(chart);
    std::array<int, 5> seen{};
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE("level " + std::to_string(k));
        std::vector<OverlayLevel> one(5);
        for (std::size_t i = 0; i < one.size(); ++i) one[i].fraction = kFractions[i];
        one[static_cast<std::size_t>(k)] = levels[static_cast<std::size_t>(k)];
        CAutoChart aloneChart;
        LevelOverlayPlot::Configure(aloneChart);
        LevelOverlayPlot alone;
        alone.Show(aloneChart, one);
        aloneChart.SetXRange(full.xMin, full.xMax);
        aloneChart.SetYRange(full.yMin, full.yMax);
        const QImage single = Draw(aloneChart);
        const QRgb own = ToQRgb(LevelOverlayPlot::LevelColor(k));
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const QRgb o = overlay.pixel(x, y), s = single.pixel(x, y);
                if (o == own) {
                    ASSERT_EQ(s, own) << x << "," << y;
                    ++seen[static_cast<std::size_t>(k)];
                }
                if (s != own || o == own) continue;
                bool otherLevel = false;
                for (int j = 0; j < 5; ++j) otherLevel |= j != k && o == ToQRgb(LevelOverlayPlot::LevelColor(j));
                ASSERT_TRUE(otherLevel) << x << "," << y << " shows " << std::hex << o;
            }
        }
        // The runs share their baseline, where the later levels cover the earlier ones; each is
        // seen at its peaks at least.
        EXPECT_GT(seen[static_cast<std::size_t>(k)], 0) << "the level's line is seen";
    }
}

TEST(LevelOverlayPlot, NamesTheLevelsItCannotShowAndZoomsOntoTheComponents) {
    fixtures::TempDir dir;
    const fixtures::DemoProfile demo = fixtures::WriteDemoProfile(dir.Path() + "/demo");
    const std::string junk = dir.WriteFile("junk.stg", "not a compound file");
    std::vector<OverlayLevel> levels = DemoLevels(demo);
    levels[2] = ReadOverlayLevel(0.1, "");
    levels[3] = ReadOverlayLevel(0.2, junk);

    CAutoChart chart;
    LevelOverlayPlot::Configure(chart);
    LevelOverlayPlot plot;
    plot.Show(chart, levels);
    const std::vector<OverlayLegendEntry> legend = plot.Legend();
    ASSERT_EQ(legend.size(), 5u);
    EXPECT_EQ(legend[2].text, "Уровень 0.1: хроматограмма не выбрана");
    EXPECT_EQ(legend[3].text, "Уровень 0.2: ошибка чтения файла junk.stg (not a compound file)");
    for (int k = 0; k < 5; ++k) {
        const bool missing = k == 2 || k == 3;
        EXPECT_EQ(legend[static_cast<std::size_t>(k)].missing, missing) << k;
        EXPECT_EQ(chart.GetSeries(kSignals + k).count == 0, missing) << k;
        EXPECT_EQ(chart.GetSeries(kWindows + k).count == 0, missing) << k;
    }

    // The legend drawn: a stroke of each shown level's colour, none for the missing ones.
    const int height = LevelOverlayPlot::LegendHeight(5);
    const QImage strip = charttest::Drawn(400, height, [&](platform::Surface& s) {
        LevelOverlayPlot::DrawLegend(s, {0, 0, 400, height}, legend);
    });
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(CountOf(strip, LevelOverlayPlot::LevelColor(k)) > 0, k != 2 && k != 3) << k;

    // The components' region: every ethanol and isopropanol window of the levels shown, within
    // the whole view, narrower than it.
    const ChartView near = plot.ComponentView(), full = plot.FullView();
    EXPECT_GT(near.xMin, full.xMin);
    EXPECT_LT(near.xMax, full.xMax);
    EXPECT_LE(near.yMax, full.yMax);
    for (const OverlayLevel& level : levels) {
        if (!level.file) continue;
        for (const chromatogram::Peak& peak : level.file->peaks) {
            if (!IsCalibrationComponent(peak.name)) continue;
            EXPECT_LT(near.xMin, peak.startTime) << peak.name;
            EXPECT_GT(near.xMax, peak.endTime) << peak.name;
        }
    }

    // Nothing to show at all: the view of an empty chart.
    plot.Show(chart, {ReadOverlayLevel(0, ""), ReadOverlayLevel(0.05, junk)});
    EXPECT_EQ(plot.FullView().xMin, 0);
    EXPECT_EQ(plot.FullView().xMax, 1);
    EXPECT_EQ(plot.ComponentView().xMax, 1);
    EXPECT_EQ(plot.Legend().size(), 2u);
}

}  // namespace
