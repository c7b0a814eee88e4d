#pragma once

#include "chart/AutoSeries.h"
#include "chart/TickIterator.h"

#include <limits>
#include <vector>

// Axis style flags.
inline constexpr int kVerticalGrid = 1;
inline constexpr int kHorizontalGrid = 2;
inline constexpr int kTicksAllSides = 4;  // also closes the frame
inline constexpr int kClosedFrame = 8;

// The nice factor of a tick step whose mantissa is m (1 <= m < 10): 10, 5, 3, 2.5, 2 or 1.
double NiceFactor(double m);

// The tick step of an axis whose range [min, max] is drawn over `length` pixels with ticks at
// least `spacing` pixels apart, and its first and last tick. The end of an automatic range
// moves out to the neighbouring tick where that lies less than half a step away. A range that
// gives no finite positive step yields step 0 and ticks that are not a number.
void ComputeTickStep(double spacing, double& min, double& max, int length, bool automatic, double& step,
                     double& firstTick, double& lastTick);

// The plot: its series, colours, axis style, tick steps and tick labels.
class CAutoAxes : public CAutoFrame {
public:
    int xDigits = 3;  // precision that widens a too narrow automatic range
    int yDigits = 3;
    // The share of an automatic range's extent added beyond each of its ends, so that a marker
    // at the data's extreme is drawn whole inside the frame; 0: the range ends at the data.
    double xPadding = 0;
    double yPadding = 0;
    std::vector<CAutoSeries> series;  // drawn in index order
    platform::Rgb axisColor{0, 0, 0};
    platform::Rgb gridColor{191, 191, 191};
    platform::Rgb plotColor{255, 255, 255};
    int axisStyle = 0;
    double xStep = 1, yStep = 1;
    double xFirstTick = std::numeric_limits<double>::quiet_NaN();
    double xLastTick = std::numeric_limits<double>::quiet_NaN();
    double yFirstTick = std::numeric_limits<double>::quiet_NaN();
    double yLastTick = std::numeric_limits<double>::quiet_NaN();
    bool xRangeValid = false;  // the automatic range has been computed in this drawing pass
    bool yRangeValid = false;
    int tickLong = 4;  // part of a tick mark inside the plot
    int tickShort = 2; // part outside it
    int labelGap = 2;  // between a tick mark and its label
    platform::FontDescription labelFont;

    CAutoAxes();

    // Appending may move the series in memory: references from GetSeries become invalid.
    int AddSeries();
    CAutoSeries& GetSeries(int i) { return series[i]; }
    int GetSeriesCount() const { return static_cast<int>(series.size()); }
    void SetAxisStyle(int style) { axisStyle = style; }
    void SetLabelFont(const platform::FontDescription& font) { labelFont = font; }

    // The automatic range of all series, widened where it is too narrow; remembered for the
    // rest of the drawing pass.
    void ComputeXRange(double& min, double& max);
    void ComputeYRange(double& min, double& max);
    // The current ranges for a drawing pass: automatic ones from the data, fixed ones copied.
    void ComputeRanges();

    // Tick steps and ticks of the plot `rect` on `surface`, measured with the surface's current
    // font; each returns the width of its widest label.
    int ComputeXTicks();
    int ComputeYTicks();

    // Insets (left, top, right, bottom) around the plot: the room ticks and labels always need,
    // and the room the current labels need.
    platform::Rect FixedMargins(platform::Surface& target, const platform::Rect& area);
    platform::Rect LabelMargins(platform::Surface& target, const platform::Rect& plot);

    void DrawGrid();
    void DrawAxes();
    void DrawPlot(platform::Surface& target, const platform::Rect& plot);

private:
    using DataRange = void (CAutoSeries::*)(double& min, double& max) const;
    void ComputeAxisRange(DataRange dataRange, int digits, double padding, bool& valid, double& currentMin, double& currentMax,
                          double& min, double& max);
    void ComputeTickDistances();
    int WidestLabel(double first, double last, double step);
};
