#pragma once

#include "platform/gui/Surface.h"

#include <cstddef>
#include <vector>

class CAutoSeries;

// A line through many points, drawn per pixel column. Where consecutive points fall into one
// column of the plot, the segments between them are vertical, each covering the rows from its
// start up to (not including) its end. Drawn one after another inside the plot they cover all
// rows between the highest and the lowest point, except the row of the last point when the line
// never leaves that row before its final stay there. So the run can be drawn through its first
// point, the highest and lowest point before that final stay, the point just before the stay,
// and its last point: the line then draws exactly the pixels that drawing every segment draws,
// the same cuts at the plot's edges, the same gaps at points that map to no pixel. Outside the
// plot a segment is never drawn, so a run of points outside needs only its first and last.
//
// The pixels do not depend on the order of the points between the first and the one before
// the stay, so they are taken in the order that draws the fewest pixels twice.
//
// ColumnReducer takes the points in order, with their pixels, and keeps the indices of the
// points to draw through, first and last point always included.
class ColumnReducer {
public:
    ColumnReducer(const platform::Rect& plot, std::vector<int>& kept);
    ColumnReducer(const ColumnReducer&) = delete;
    ColumnReducer& operator=(const ColumnReducer&) = delete;

    void Add(int i, platform::Point p);
    // A whole run of points inside the plot in one column (the points before and after it lie
    // in other columns): its first and last point, the point before its final stay in the row
    // of the last point (none: the whole run is that stay), and the highest and lowest points
    // before that stay.
    struct ColumnRun {
        int first = 0, firstRow = 0;
        int top = 0, topRow = 0;
        int bottom = 0, bottomRow = 0;
        int beforeStay = -1, beforeStayRow = 0;  // -1: none
        int last = 0;
    };
    void AddColumn(const ColumnRun& run);
    // Keeps what the last run still holds; call once after the last point.
    void Finish();

private:
    void Keep(int i);
    void KeepColumn(const ColumnRun& run);

    const platform::Rect plot_;
    std::vector<int>& kept_;
    enum class Run { None, Inside, Outside } run_ = Run::None;
    int column_ = 0;  // of an inside run
    int first_ = 0, firstRow_ = 0;
    int last_ = 0;
    // An inside run's final stay: the row of its last point, where the stay began, and the
    // point before it (first_ - 1 while the whole run is one stay) and that point's row.
    int stayRow_ = 0, stay_ = 0, beforeStay_ = 0, beforeStayRow_ = 0;
    // Rows and indices of the highest and lowest points of an inside run before its stay.
    int topRow_ = 0, topIndex_ = 0, bottomRow_ = 0, bottomIndex_ = 0;
};

// The indices of the series' points that its line (straight segments) is drawn through, with
// the series' current ranges and plot rectangle. A series whose x values are generated
// (x0 + i * dx) on linear Cartesian axes is reduced column by column from its y array, the
// points of each column found by searching; any other series by mapping every point.
std::vector<int> ColumnPoints(const CAutoSeries& series);

// The lowest and highest of `count` values, and whether any of them is not a number (those
// are left out of the extremes); with no values, or none that is a number, lowest > highest.
// Vectorised: a signal's million samples are searched at every drawing.
struct ValueExtremes {
    float lowest, highest;
    bool notANumber;
};
ValueExtremes FindExtremes(const float* values, std::size_t count);
// The same leaving out infinite values too.
ValueExtremes FindFiniteExtremes(const float* values, std::size_t count);
