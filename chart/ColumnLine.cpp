#include "chart/ColumnLine.h"

#include "chart/AutoSeries.h"

#include <algorithm>
#include <climits>
#include <cmath>

using platform::Point;

ColumnReducer::ColumnReducer(const platform::Rect& plot, std::vector<int>& kept) : plot_(plot), kept_(kept) {}

void ColumnReducer::Keep(int i) {
    if (kept_.empty() || kept_.back() != i) kept_.push_back(i);
}

void ColumnReducer::Add(int i, Point p) {
    const bool inside = plot_.Contains(p);
    if (inside && run_ == Run::Inside && p.x == column_) {
        if (p.y != stayRow_) {
            // The stay so far ends: its row joins the rows before the stay.
            if (stayRow_ < topRow_) topRow_ = stayRow_, topIndex_ = stay_;
            if (stayRow_ > bottomRow_) bottomRow_ = stayRow_, bottomIndex_ = stay_;
            beforeStay_ = last_;
            stay_ = i;
            stayRow_ = p.y;
        }
        last_ = i;
        return;
    }
    if (!inside && run_ == Run::Outside) {
        last_ = i;
        return;
    }
    Finish();
    run_ = inside ? Run::Inside : Run::Outside;
    column_ = p.x;
    first_ = last_ = stay_ = i;
    beforeStay_ = i - 1;
    stayRow_ = p.y;
    topRow_ = INT_MAX;
    bottomRow_ = INT_MIN;
}

void ColumnReducer::AddColumn(int first, int top, int bottom, int stay, int last) {
    Finish();
    Keep(first);
    if (stay > first) {
        Keep(std::min(top, bottom));
        Keep(std::max(top, bottom));
        Keep(stay - 1);
    }
    Keep(last);
}

void ColumnReducer::Finish() {
    if (run_ == Run::None) return;
    Keep(first_);
    if (run_ == Run::Inside && stay_ > first_) {
        Keep(std::min(topIndex_, bottomIndex_));
        Keep(std::max(topIndex_, bottomIndex_));
        Keep(beforeStay_);
    }
    Keep(last_);
    run_ = Run::None;
}

namespace {

// The last index of the run of points from `first` on whose column is `c`, for a column that
// changes monotonically with the index. `hint` is the length of the previous run: columns of
// a signal hold nearly the same number of samples, so two probes usually settle it.
template <typename Column>
int LastInColumn(const Column& column, int first, int c, int n, int hint) {
    int lo = first;  // in the run
    int hi = n;      // past it
    if (hint > 1 && first + hint - 1 < n) {
        if (column(first + hint - 1) == c)
            lo = first + hint - 1;
        else
            hi = first + hint - 1;
    }
    if (hi == n) {
        long long step = 1;
        while (lo + step < n && column(static_cast<int>(lo + step)) == c) {
            lo += static_cast<int>(step);
            step *= 2;
        }
        hi = static_cast<int>(std::min<long long>(n, lo + step));
    }
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        if (column(mid) == c)
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

// One column of a generated-x series, points first..last. When all of them are numbers whose
// rows lie inside the plot (the mapping is monotonic, so the extremes tell), the run is reduced
// from the extremes of the values; otherwise every point goes through the reducer.
void ReduceColumn(const CAutoSeries& s, ColumnReducer& reducer, int first, int last, int c) {
    const float* y = s.y;
    const platform::Rect& plot = s.rect;
    const auto insideRows = [&](int row) { return row >= plot.top && row < plot.bottom; };
    const int lastRow = s.YToPixel(y[last]);
    if (!insideRows(lastRow)) {
        for (int i = first; i <= last; ++i) reducer.Add(i, {c, s.YToPixel(y[i])});
        return;
    }
    // The final stay in the last point's row: mostly a point or two, and equal values need no
    // mapping.
    int stay = last;
    while (stay > first && (y[stay - 1] == y[last] || s.YToPixel(y[stay - 1]) == lastRow)) --stay;
    if (stay == first) {
        reducer.AddColumn(first, first, first, first, last);
        return;
    }
    float lowest = y[first], highest = y[first];
    int lowestIndex = first, highestIndex = first;
    bool notANumber = false;
    for (int i = first; i < stay; ++i) {
        const float v = y[i];
        notANumber |= v != v;
        if (v < lowest) {
            lowest = v;
            lowestIndex = i;
        }
        if (v > highest) {
            highest = v;
            highestIndex = i;
        }
    }
    const int rowOfHighest = s.YToPixel(highest), rowOfLowest = s.YToPixel(lowest);
    if (notANumber || !insideRows(rowOfHighest) || !insideRows(rowOfLowest)) {
        for (int i = first; i <= last; ++i) reducer.Add(i, {c, s.YToPixel(y[i])});
        return;
    }
    reducer.AddColumn(first, highestIndex, lowestIndex, stay, last);
}

void ReduceGenerated(const CAutoSeries& s, ColumnReducer& reducer) {
    const int n = s.count;
    const auto column = [&s](int i) { return s.XToPixel(s.x0 + i * s.dx); };
    int hint = 1;
    for (int first = 0; first < n;) {
        const int c = column(first);
        const int last = LastInColumn(column, first, c, n, hint);
        hint = last - first + 1;
        if (c < s.rect.left || c >= s.rect.right) {
            // A column beside the plot: every point in it is outside.
            reducer.Add(first, {c, s.rect.top});
            reducer.Add(last, {c, s.rect.top});
        } else {
            ReduceColumn(s, reducer, first, last, c);
        }
        first = last + 1;
    }
}

bool IsGeneratedOnLinearAxes(const CAutoSeries& s) {
    return s.flags == 0 && s.x == nullptr && s.y != nullptr && std::isfinite(s.x0) && std::isfinite(s.dx);
}

}  // namespace

std::vector<int> ColumnPoints(const CAutoSeries& series) {
    std::vector<int> kept;
    if (series.count <= 0) return kept;
    ColumnReducer reducer(series.rect, kept);
    if (IsGeneratedOnLinearAxes(series)) {
        ReduceGenerated(series, reducer);
    } else {
        for (int i = 0; i < series.count; ++i) {
            const double xv = series.getX(series, i), yv = series.getY(series, i);
            reducer.Add(i, {series.mapX(series, xv, yv), series.mapY(series, xv, yv)});
        }
    }
    reducer.Finish();
    return kept;
}
