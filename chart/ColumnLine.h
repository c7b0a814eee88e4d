#pragma once

#include "platform/gui/Surface.h"

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
// ColumnReducer takes the points in order, with their pixels, and keeps the indices of the
// points to draw through; they always include the first and the last point.
class ColumnReducer {
public:
    ColumnReducer(const platform::Rect& plot, std::vector<int>& kept);
    ColumnReducer(const ColumnReducer&) = delete;
    ColumnReducer& operator=(const ColumnReducer&) = delete;

    void Add(int i, platform::Point p);
    // A whole run of points inside the plot in one column, from `first` to `last` (the points
    // before and after it lie in other columns), whose final stay in the row of `last` begins
    // at `stay`, and whose points before that stay are highest at `top` and lowest at `bottom`.
    // With stay == first, `top` and `bottom` are not used.
    void AddColumn(int first, int top, int bottom, int stay, int last);
    // Keeps what the last run still holds; call once after the last point.
    void Finish();

private:
    void Keep(int i);

    const platform::Rect plot_;
    std::vector<int>& kept_;
    enum class Run { None, Inside, Outside } run_ = Run::None;
    int column_ = 0;  // of an inside run
    int first_ = 0;
    int last_ = 0;
    // An inside run's final stay: the row of its last point, where the stay began, and the
    // point before it (first_ - 1 while the whole run is one stay).
    int stayRow_ = 0, stay_ = 0, beforeStay_ = 0;
    // Rows and indices of the highest and lowest points of an inside run before its stay.
    int topRow_ = 0, topIndex_ = 0, bottomRow_ = 0, bottomIndex_ = 0;
};

// The indices of the series' points that its line (straight segments) is drawn through, with
// the series' current ranges and plot rectangle. A series whose x values are generated
// (x0 + i * dx) on linear Cartesian axes is reduced column by column from its y array, the
// points of each column found by searching; any other series by mapping every point.
std::vector<int> ColumnPoints(const CAutoSeries& series);
