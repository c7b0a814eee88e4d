#pragma once

#include "chart/AutoChart.h"
#include "chart/BlockExtremes.h"
#include "chromatogram/ChmFile.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

// The chromatogram chart: the detector signal against time, and for every peak of the peak
// table its integration window with its baseline (the straight line from baselineAtStart to
// baselineAtEnd), the areas of the components the calibration takes ("этанол" and
// "изопропанол") filled, and the names of named peaks above their apex (and above the signal
// wherever it rises higher under a name; names that would overlap are left out, the
// calibration's components named first). Blue titles "Время" (x)
// and "Отклик детектора" (y) in 8-point Arial with Cyrillic, a closed frame, drawn straight onto
// the surface (not buffered: it is always drawn into an image).
//
// Series of the chart, in drawing order:
inline constexpr int kEthanolAreaSeries = 0;   // the areas of the peaks "этанол"
inline constexpr int kStandardAreaSeries = 1;  // the areas of the peaks "изопропанол"
inline constexpr int kSignalSeries = 2;        // the signal, drawn per pixel column
inline constexpr int kWindowSeries = 3;        // each peak's baseline and the edges of its window
inline constexpr int kPeakNameSeries = 4;      // the names of named peaks above their apex

inline constexpr platform::Rgb kSignalColor{0, 0, 128};
inline constexpr platform::Rgb kWindowColor{220, 0, 0};
inline constexpr platform::Rgb kEthanolAreaColor{160, 225, 160};
inline constexpr platform::Rgb kStandardAreaColor{170, 200, 245};
inline constexpr platform::Rgb kPeakNameColor{64, 64, 64};

// Where one chromatogram's series sit in a chart and how they look: the single chart's layout
// by default. A chart that shows several chromatograms (chart/LevelOverlayPlot.h) gives each its
// own series, in the drawing order it wants, and its own colours; an index below 0 leaves that
// part out (no series is touched for it).
struct ChromatogramSeries {
    int ethanolArea = kEthanolAreaSeries;
    int standardArea = kStandardAreaSeries;
    int signal = kSignalSeries;
    int window = kWindowSeries;
    int names = kPeakNameSeries;
    platform::Rgb signalColor = kSignalColor;
    platform::Rgb windowColor = kWindowColor;
};

// A view of a chart in data values.
struct ChartView {
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};

// Whether a peak's area is filled: the peaks named "этанол" and "изопропанол", in any case.
bool IsCalibrationComponent(const std::string& peakName);
// Whether it is the internal standard, "изопропанол".
bool IsStandardComponent(const std::string& peakName);

// What a chromatogram chart shows of one chromatogram. It keeps the chromatogram and the arrays
// the chart's series point into; the chart must not outlive it while it shows them.
class ChromatogramPlot {
public:
    // Configures a fresh chart (one without series): series, colours, titles, fonts. Series
    // must not be added later, since the area and name series refer to the signal series by address.
    static void Configure(CAutoChart& chart);
    // Configures the series of `layout`, which the chart holds already, and nothing else of it.
    static void ConfigureSeries(CAutoChart& chart, const ChromatogramSeries& layout);
    // The chart's look without its series: frame, titles, fonts.
    static void ConfigureFrame(CAutoChart& chart);

    explicit ChromatogramPlot(ChromatogramSeries layout = {}) : layout_(layout) {}

    // Shows the chromatogram in the plot's series of a chart configured for them and fixes the
    // chart's view to FullView(). The chromatogram is kept until the next Show or Clear.
    void Show(CAutoChart& chart, std::shared_ptr<const chromatogram::ChromatogramFile> file);
    // Empties the plot's series and forgets the chromatogram; the view becomes 0..1 both ways.
    void Clear(CAutoChart& chart);

    const chromatogram::ChromatogramFile* File() const { return file_.get(); }
    // The same file, shared: for work that may outlive the plot (an export on a worker).
    const std::shared_ptr<const chromatogram::ChromatogramFile>& SharedFile() const { return file_; }

    // The view of the whole chromatogram: the signal's times, and its values that are numbers
    // with room above them for the peak names. A signal without a time extent (fewer than two
    // samples, a zero step) takes the times of the peaks' windows; without any, or with a time
    // base that is not a number, the times 0..1. Without values that are numbers, 0..1.
    ChartView FullView() const { return full_; }
    // The view of the times [from, to] (from < to), its values fitted to the samples there as
    // FullView fits them to all; the full view's values where no sample lies there.
    ChartView ViewOf(double from, double to) const;

    // The peaks whose window lies at least in part within [from, to], in table order.
    std::vector<int> PeaksWithin(double from, double to) const;
    // The number of samples whose time lies within [from, to].
    long long SamplesWithin(double from, double to) const;

private:
    // The first and last index of the samples whose time lies within [from, to]; first > last
    // when there is none.
    std::pair<long long, long long> SampleRange(double from, double to) const;
    void BuildPeakSeries();
    void ComputeFullView();

    ChromatogramSeries layout_;
    std::shared_ptr<const chromatogram::ChromatogramFile> file_;
    BlockExtremes blocks_;  // of the signal's samples
    ChartView full_{0, 1, 0, 1};
    // Area and window series: runs of points separated by a point that is not a number.
    std::vector<float> ethanolX_, ethanolY_, standardX_, standardY_, windowX_, windowY_;
    std::vector<float> nameX_, nameY_;
    std::vector<std::string> names_;
};
