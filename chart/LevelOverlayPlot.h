#pragma once

#include "chart/AutoChart.h"
#include "chart/ChromatogramPlot.h"
#include "chromatogram/ChmFile.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

class QImage;

// The chromatograms of the calibration levels in one chart, time-aligned as recorded: each
// level's signal and the windows and baselines of its peaks in the level's own colour, the
// areas of "этанол" and "изопропанол" filled as in the single chart (chart/ChromatogramPlot.h),
// without peak names (five names over one peak only hide it). Each level is one
// ChromatogramPlot; the series are ordered so that no level's filled areas hide another's
// signal: every level's areas first, then the signals, then the windows. A legend names each
// level with its sample, or says why the level has no chromatogram.

// One level as the overlay shows it.
struct OverlayLevel {
    double fraction = 0;
    std::string path{};  // "" when none was chosen
    // The chromatogram, read whole; null when there is none (no path, or the read failed).
    std::shared_ptr<const chromatogram::ChromatogramFile> file{};
    std::string failure{};  // why the read failed (the reader's short reason); "" otherwise
};

// Reads one level's file (on the calling thread: not the window's). Never throws for a file.
OverlayLevel ReadOverlayLevel(double fraction, const std::string& path);

// One line of the legend.
struct OverlayLegendEntry {
    platform::Rgb color;  // the level's colour
    std::string text{};   // "Уровень 0.05: Градуировка 0.05", "Уровень 0.1: хроматограмма не выбрана"…
    bool missing = false;  // the level has no chromatogram to show
};

class LevelOverlayPlot {
public:
    static constexpr int kMaxLevels = 5;
    // The colour of level i (0 … kMaxLevels − 1), of its signal and its windows.
    static platform::Rgb LevelColor(int i);

    // Configures a fresh chart (one without series) for kMaxLevels levels.
    static void Configure(CAutoChart& chart);

    LevelOverlayPlot();

    // Shows up to kMaxLevels levels (more are ignored) in a chart configured by Configure and
    // fixes the chart's view to FullView(). The chromatograms are kept until the next Show.
    void Show(CAutoChart& chart, std::vector<OverlayLevel> levels);

    const std::vector<OverlayLevel>& Levels() const { return levels_; }
    const ChromatogramPlot& Layer(int i) const { return layers_[static_cast<std::size_t>(i)]; }

    // The views of all levels together (0..1 each way without any chromatogram).
    ChartView FullView() const { return full_; }
    // The times from the first start to the last end of the "этанол" and "изопропанол" windows
    // of every level, with a fifth of that span as room each side, the values fitted to the
    // samples there; FullView() when no level has such a peak.
    ChartView ComponentView() const;

    std::vector<OverlayLegendEntry> Legend() const;
    // The legend's type: 8-point Arial with Cyrillic, as the chart's titles.
    static platform::FontDescription LegendFont();
    // The height in pixels a legend of `entries` lines takes.
    static int LegendHeight(int entries);
    // Draws the legend into `area`: one line per level, a stroke of its colour before its text.
    static void DrawLegend(platform::Surface& surface, const platform::Rect& area,
                           const std::vector<OverlayLegendEntry>& entries);

private:
    std::array<ChromatogramPlot, kMaxLevels> layers_;
    std::vector<OverlayLevel> levels_;
    ChartView full_{0, 1, 0, 1};
};

// The overlay of `levels` as a picture: the chart above, its legend below, drawn onto all of
// `image`. Returns the legend drawn.
std::vector<OverlayLegendEntry> DrawLevelOverlay(QImage& image, const std::vector<OverlayLevel>& levels);
