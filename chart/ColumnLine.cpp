#include "chart/ColumnLine.h"

#include "chart/AutoSeries.h"
#include "chart/BlockExtremes.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cmath>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
            beforeStayRow_ = stayRow_;
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
    firstRow_ = stayRow_ = p.y;
    beforeStay_ = -1;
    topRow_ = INT_MAX;
    bottomRow_ = INT_MIN;
}

void ColumnReducer::AddColumn(const ColumnRun& run) {
    Finish();
    KeepColumn(run);
}

// From the first point to the nearer of the two extremes, then the other, then the point
// before the stay: the order with the fewest rows gone over twice.
void ColumnReducer::KeepColumn(const ColumnRun& run) {
    Keep(run.first);
    if (run.beforeStay >= 0) {
        const long long viaTop = std::llabs(static_cast<long long>(run.firstRow) - run.topRow) +
                                 std::llabs(static_cast<long long>(run.bottomRow) - run.beforeStayRow);
        const long long viaBottom = std::llabs(static_cast<long long>(run.firstRow) - run.bottomRow) +
                                    std::llabs(static_cast<long long>(run.topRow) - run.beforeStayRow);
        Keep(viaTop <= viaBottom ? run.top : run.bottom);
        Keep(viaTop <= viaBottom ? run.bottom : run.top);
        Keep(run.beforeStay);
    }
    Keep(run.last);
}

void ColumnReducer::Finish() {
    if (run_ == Run::None) return;
    if (run_ == Run::Inside) {
        KeepColumn({first_, firstRow_, topIndex_, topRow_, bottomIndex_, bottomRow_, beforeStay_, beforeStayRow_, last_});
    } else {
        Keep(first_);
        Keep(last_);
    }
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
    if (hint > 1 && static_cast<long long>(first) + hint - 1 < n) {
        const int probe = first + hint - 1;
        if (column(probe) == c)
            lo = probe;
        else
            hi = probe;
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

// The values that surely map to one row, with a margin for the rounding of the mapping, so
// that most values are placed in a row without mapping them; only the ones at its edges are
// mapped to tell.
class SureRow {
public:
    SureRow(const CAutoSeries& s, int row) {
        const int height = s.rect.Height();
        const double span = s.yMax - s.yMin;
        if (height < 2 || !(span > 0) || !std::isfinite(span)) return;  // no band: map every value
        // Row r holds the values whose offset (height - 1) * (v - yMin) / span from the bottom
        // row lies in (k - 0.5, k + 0.5], k = bottom - 1 - r.
        const double k = s.rect.bottom - 1 - row;
        const double unit = span / (height - 1);
        const double lo = s.yMin + (k - 0.5) * unit, hi = s.yMin + (k + 0.5) * unit;
        const double margin = 1e-9 * (unit + std::fabs(lo) + std::fabs(hi) + std::fabs(s.yMin));
        lo_ = lo + margin;
        hi_ = hi - margin;
    }
    bool Holds(float v) const { return v > lo_ && v < hi_; }
    bool HoldsAll(const BlockExtremes::Range& r) const { return !r.notFinite && r.lowest > lo_ && r.highest < hi_; }

private:
    double lo_ = INFINITY, hi_ = -INFINITY;
};

// The extremes of the values that are numbers, and whether any is not. An infinite extreme
// maps to a row far outside the plot, which sends the column through the reducer too.
BlockExtremes::Range ExtremesOf(const float* y, std::size_t count) {
    const ValueExtremes e = FindExtremes(y, count);
    return {e.lowest, e.highest, e.notANumber};
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
    // The final stay in the last point's row, and equal values need no mapping. After the last
    // peak of a column the signal may stay in one row for hundreds of samples: with a block
    // index, whole blocks that surely lie in the row are passed over at once.
    const SureRow sure(s, lastRow);
    const BlockExtremes* index = s.YBlocks();
    const auto staysInRow = [&](int i) { return sure.Holds(y[i]) || s.YToPixel(y[i]) == lastRow; };
    int stay = last;
    constexpr int kBlock = static_cast<int>(BlockExtremes::kBlock);
    while (stay > first && (index == nullptr || stay % kBlock != 0) && staysInRow(stay - 1)) --stay;
    if (index != nullptr && stay % kBlock == 0) {
        while (stay - kBlock >= first && sure.HoldsAll(index->OfBlock(static_cast<std::size_t>(stay / kBlock - 1))))
            stay -= kBlock;
        while (stay > first && staysInRow(stay - 1)) --stay;
    }
    if (stay == first) {
        reducer.AddColumn({first, lastRow, first, lastRow, first, lastRow, -1, 0, last});
        return;
    }
    // Any point with an extreme value will do: only the rows they span matter. A value that is
    // not finite (infinite ones map far outside) sends the column through the reducer.
    const BlockExtremes::Range extremes =
        index ? index->Extremes(first, stay - 1) : ExtremesOf(y + first, static_cast<std::size_t>(stay - first));
    const float lowest = extremes.lowest, highest = extremes.highest;
    const int rowOfHighest = s.YToPixel(highest), rowOfLowest = s.YToPixel(lowest);
    if (extremes.notFinite || lowest > highest || !insideRows(rowOfHighest) || !insideRows(rowOfLowest)) {
        for (int i = first; i <= last; ++i) reducer.Add(i, {c, s.YToPixel(y[i])});
        return;
    }
    const auto find = [&](float v) {
        return static_cast<int>(index ? index->Find(v, first, stay - 1) : std::find(y + first, y + stay, v) - y);
    };
    const int highestIndex = find(highest), lowestIndex = find(lowest);
    const bool highestOnTop = rowOfHighest <= rowOfLowest;
    reducer.AddColumn({first, s.YToPixel(y[first]), highestOnTop ? highestIndex : lowestIndex,
                       std::min(rowOfHighest, rowOfLowest), highestOnTop ? lowestIndex : highestIndex,
                       std::max(rowOfHighest, rowOfLowest), stay - 1, s.YToPixel(y[stay - 1]), last});
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

namespace {

constexpr float kLargest = std::numeric_limits<float>::max();

template <bool kFiniteOnly>
ValueExtremes Extremes(const float* y, std::size_t count) {
    ValueExtremes e{kLargest, -kLargest, false};
    float lowest = INFINITY, highest = -INFINITY;
    std::size_t i = 0;
#if defined(__SSE2__)
    // min and max keep their second operand where the first is not a number, so such values
    // never win; an unordered comparison of a value with itself finds them.
    __m128 lo = _mm_set1_ps(INFINITY), hi = _mm_set1_ps(-INFINITY), nan = _mm_setzero_ps();
    const __m128 largest = _mm_set1_ps(kLargest);
    const __m128 signBit = _mm_set1_ps(-0.0f);
    for (; i + 4 <= count; i += 4) {
        __m128 v = _mm_loadu_ps(y + i);
        nan = _mm_or_ps(nan, _mm_cmpunord_ps(v, v));
        if (kFiniteOnly) {
            // An infinite value becomes not a number, which min and max pass over.
            const __m128 infinite = _mm_cmpgt_ps(_mm_andnot_ps(signBit, v), largest);
            v = _mm_or_ps(v, infinite);
        }
        lo = _mm_min_ps(v, lo);
        hi = _mm_max_ps(v, hi);
    }
    alignas(16) float los[4], his[4];
    _mm_store_ps(los, lo);
    _mm_store_ps(his, hi);
    for (int k = 0; k < 4; ++k) {
        lowest = std::min(lowest, los[k]);
        highest = std::max(highest, his[k]);
    }
    e.notANumber = _mm_movemask_ps(nan) != 0;
#endif
    for (; i < count; ++i) {
        const float v = y[i];
        if (v != v) {
            e.notANumber = true;
            continue;
        }
        if (kFiniteOnly && std::fabs(v) > kLargest) continue;
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
    }
    if (lowest <= highest) {
        e.lowest = lowest;
        e.highest = highest;
    }
    return e;
}

}  // namespace

ValueExtremes FindExtremes(const float* values, std::size_t count) { return Extremes<false>(values, count); }

ValueExtremes FindFiniteExtremes(const float* values, std::size_t count) { return Extremes<true>(values, count); }
