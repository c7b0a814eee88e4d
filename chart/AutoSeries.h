#pragma once

#include "chart/AutoFrame.h"

#include <string>

class BlockExtremes;

// Marker kinds of a series.
inline constexpr int kMarkerNone = 0;
inline constexpr int kMarkerCircle = 1;
inline constexpr int kMarkerDiagonalCross = 2;
inline constexpr int kMarkerUprightCross = 3;
inline constexpr int kMarkerSquare = 4;
inline constexpr int kMarkerArrow = 5;  // circle with an arrow towards the same point of `link`
inline constexpr int kMarkerBands = 6;  // each point (x, y) is a band from x to y on the x axis
// The text labels[i] centred above each point inside the plot, in the series' colour and
// labelFont, `markerSize` pixels above it and kept within the plot. With a `link` (a series whose
// x values run in one direction) a label keeps `markerSize` pixels above that series' line too,
// raised where the line rises higher anywhere under it. A label that would overlap one drawn
// before it, or on about the same line come closer to its side than `markerSize` pixels, is
// left out: where peaks crowd, their names make one readable row above the line instead of a
// pile of texts over it.
inline constexpr int kMarkerLabel = 7;
// Each segment of the series (consecutive points that are both numbers; a point that is not a
// number separates segments) and the line of `link` bound an area filled in the series' colour:
// every pixel column between the segment's ends is filled from the segment to the farthest
// point of `link`'s line in that column. `link`'s x values must run in one direction.
inline constexpr int kMarkerArea = 8;

// Line types of a series.
inline constexpr int kLineNone = 0;
inline constexpr int kLineStraight = 1;
inline constexpr int kLineSmooth = 2;
// Straight segments drawn per pixel column: the same pixels as kLineStraight, at the cost of a
// few points per column (chart/ColumnLine.h). For series of many more points than columns.
inline constexpr int kLineColumns = 3;

// One data series. Its arrays belong to the owner: the series keeps their addresses and reads
// them at every drawing, so they must hold `count` values until the next SetData.
class CAutoSeries : public CAutoFrame {
public:
    using ValueFunction = double (*)(const CAutoSeries& series, int i);

    platform::Rgb color;
    int count = 0;
    const float* x = nullptr;  // none: x(i) = x0 + i * dx
    const float* y = nullptr;  // none: y(i) = y0 + i * dy
    const int* classes = nullptr;        // band class of every point, for kMarkerBands
    const CAutoSeries* link = nullptr;   // partner series of kMarkerArrow and kMarkerArea
    const std::string* labels = nullptr; // texts of kMarkerLabel, one per point; empty: none
    // The owner's index of the extremes of y (count values), for kLineColumns and for a `link`
    // of kMarkerArea on a series of generated x; none: the values are searched. SetData forgets it.
    const BlockExtremes* blocks = nullptr;
    platform::FontDescription labelFont = platform::PointFont("Arial", 8, platform::kCyrillicCharset);
    double x0 = 0, dx = 1;
    double y0 = 0, dy = 1;
    int marker = kMarkerNone;
    int penStyle = platform::kPenSolid;
    int penWidth = 0;
    int markerSize = 4;  // half the marker's size
    int lineType = kLineStraight;
    int splineSteps = 20;
    ValueFunction getX;
    ValueFunction getY;

    CAutoSeries();

    void SetData(const float* xValues, const float* yValues, int pointCount);
    // `blocks` when it indexes exactly the y array of the series, else null.
    const BlockExtremes* YBlocks() const;
    void SetColor(platform::Rgb c) { color = c; }
    void SetLineType(int type) { lineType = type; }
    void SetMarker(int kind) { marker = kind; }
    void SetMarkerSize(int halfSize) { markerSize = halfSize; }
    void SetFlags(int newFlags);

    // The range of the data on one axis (frame units). No points: [0, 0]. A band series
    // reports the empty range (largest double, lowest double) so that it never widens a chart's.
    void ComputeXDataRange(double& min, double& max) const;
    void ComputeYDataRange(double& min, double& max) const;

    void Draw(platform::Surface& target, const platform::Rect& plot);

private:
    template <typename Value>
    void ComputeDataRange(double& min, double& max, Value value) const;
    void SelectValueFunctions();
    void DrawMarkers();
    void DrawArrow(int i, platform::Point from);
    void DrawBands();
    void DrawStraight();
    void DrawColumns();
    void DrawLabels();
    void DrawAreas();
    void DrawSmooth();
    void DrawFunctionInterval(int i);
    void DrawParametricInterval(int i);
};
