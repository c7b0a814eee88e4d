// The two kinds of series that draw beside a line rather than on its points: labels above the
// points (kMarkerLabel) and areas between a series and the line of another (kMarkerArea).
#include "chart/AutoSeries.h"

#include "chart/BlockExtremes.h"
#include "chart/ColumnLine.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

using platform::Rect;
using platform::Size;

namespace {

bool Overlap(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The line of a series whose x values run in one direction, looked up by x. A series of
// generated x values (x0 + i * dx) on linear axes finds its points by arithmetic and their
// extremes vectorised; any other by searching.
class MonotonicLine {
public:
    explicit MonotonicLine(const CAutoSeries& s)
        : s_(s),
          ascending_(s.count < 2 || s.getX(s, 0) <= s.getX(s, s.count - 1)),
          generated_(s.flags == 0 && s.x == nullptr && s.y != nullptr && std::isfinite(s.x0) &&
                     std::isfinite(s.dx) && s.dx != 0) {}

    // The extremes of the line over [lo, hi]: its points there and its values at both ends.
    // False when it has no value there that is a number.
    bool Extremes(double lo, double hi, double& low, double& high) const {
        low = INFINITY;
        high = -INFINITY;
        return Take(lo, hi, low, high, false);
    }
    // Extremes at least as far apart, where a block index of the line can tell them without
    // reading its values (which lie far apart in memory when asked for column by column).
    bool Bounds(double lo, double hi, double& low, double& high) const {
        low = INFINITY;
        high = -INFINITY;
        return Take(lo, hi, low, high, true);
    }

private:
    bool Take(double lo, double hi, double& low, double& high, bool bounds) const {
        const auto take = [&](double v) {
            if (!std::isfinite(v)) return;
            low = std::min(low, v);
            high = std::max(high, v);
        };
        const BlockExtremes* blocks = generated_ ? s_.YBlocks() : nullptr;
        if (bounds && blocks != nullptr) {
            // The blocks around the samples within and the two beyond, which the values at
            // the ends lie between.
            double a = Position(lo), b = Position(hi);
            if (a > b) std::swap(a, b);
            const int first = std::max(Clamped(std::floor(a), s_.count), 0);
            const int last = std::min(Clamped(std::ceil(b), s_.count), s_.count - 1);
            if (first > last) return false;
            const BlockExtremes::Range e = blocks->Covering(static_cast<std::size_t>(first), static_cast<std::size_t>(last));
            if (e.lowest <= e.highest) take(e.lowest), take(e.highest);
            return low <= high;
        }
        double v;
        if (ValueAt(lo, v)) take(v);
        if (ValueAt(hi, v)) take(v);
        const auto [first, last] = Within(lo, hi);
        if (generated_ && first <= last) {
            if (blocks != nullptr) {
                const BlockExtremes::Range e = blocks->Extremes(static_cast<std::size_t>(first), static_cast<std::size_t>(last));
                if (e.lowest <= e.highest) take(e.lowest), take(e.highest);
            } else {
                const ValueExtremes e = FindFiniteExtremes(s_.y + first, static_cast<std::size_t>(last - first + 1));
                if (e.lowest <= e.highest) take(e.lowest), take(e.highest);
            }
        } else {
            for (int i = first; i <= last; ++i) take(s_.getY(s_, i));
        }
        return low <= high;
    }

    double X(int i) const { return s_.getX(s_, i); }

    // The index of x in samples, x0 + position * dx = x.
    double Position(double x) const { return (x - s_.x0) / s_.dx; }
    static int Clamped(double position, int count) {
        return static_cast<int>(std::clamp(position, -1.0, static_cast<double>(count)));
    }

    // The first index not before x in the line's direction, and the first one past it.
    int FirstFrom(double x) const { return Search([&](int i) { return ascending_ ? X(i) < x : X(i) > x; }); }
    int FirstPast(double x) const { return Search([&](int i) { return ascending_ ? X(i) <= x : X(i) >= x; }); }

    template <typename Before>
    int Search(Before before) const {
        int lo = 0, hi = s_.count;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (before(mid))
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }

    std::pair<int, int> Within(double lo, double hi) const {
        if (generated_) {
            double a = Position(lo), b = Position(hi);
            if (a > b) std::swap(a, b);
            const int first = std::max(Clamped(std::ceil(a), s_.count), 0);
            const int last = std::min(Clamped(std::floor(b), s_.count), s_.count - 1);
            return {first, last};
        }
        return ascending_ ? std::pair{FirstFrom(lo), FirstPast(hi) - 1} : std::pair{FirstFrom(hi), FirstPast(lo) - 1};
    }

    // The straight line between the two points around x; nothing outside the line's points.
    bool ValueAt(double x, double& v) const {
        int j;  // the first point beyond x
        if (generated_) {
            const double p = Position(x);
            if (!(p >= 0) || !(p <= s_.count - 1)) return false;
            j = std::min(static_cast<int>(p) + 1, s_.count - 1);
        } else {
            j = FirstPast(x);
        }
        if (j <= 0 || j >= s_.count) return false;
        const double x1 = X(j - 1), x2 = X(j), y1 = s_.getY(s_, j - 1), y2 = s_.getY(s_, j);
        v = x2 == x1 ? y1 : y1 + (x - x1) * (y2 - y1) / (x2 - x1);
        return true;
    }

    const CAutoSeries& s_;
    const bool ascending_;
    const bool generated_;
};

}  // namespace

namespace {

// The topmost row of a line in each column of a plot, found as columns are asked for: the rows
// of the line's extremes within the column (its values at the column's edges included).
class LineTops {
public:
    LineTops(const CAutoSeries& series, const CAutoSeries* line)
        : series_(series), line_(line != nullptr && line->count > 0 ? std::make_optional<MonotonicLine>(*line) : std::nullopt),
          columnWidth_(series.rect.Width() > 1 ? (series.xMax - series.xMin) / (series.rect.Width() - 1) : 0),
          tops_(static_cast<std::size_t>(std::max(series.rect.Width(), 0)), kUnknown) {}

    // The topmost row of the line over the columns [left, right) of the plot; INT_MAX where it
    // has none.
    int Over(int left, int right) {
        int top = INT_MAX;
        if (!line_) return top;
        left = std::max(left, series_.rect.left);
        right = std::min(right, series_.rect.right);
        for (int c = left; c < right; ++c) top = std::min(top, At(c));
        return top;
    }

private:
    static constexpr int kUnknown = INT_MIN;

    int At(int c) {
        int& top = tops_[static_cast<std::size_t>(c - series_.rect.left)];
        if (top != kUnknown) return top;
        const double centre = series_.xMin + (c - series_.rect.left) * columnWidth_;
        double low, high;
        top = INT_MAX;
        if (line_->Bounds(centre - columnWidth_ / 2, centre + columnWidth_ / 2, low, high))
            top = std::min(series_.YToPixel(low), series_.YToPixel(high));
        return top;
    }

    const CAutoSeries& series_;
    const std::optional<MonotonicLine> line_;
    const double columnWidth_;
    std::vector<int> tops_;
};

}  // namespace

void CAutoSeries::DrawLabels() {
    if (labels == nullptr) return;
    const platform::FontDescription oldFont = surface->SelectFont(labelFont);
    const platform::Rgb oldColor = surface->SetTextColor(color);
    const int oldAlign = surface->SetTextAlign(platform::kAlignLeft | platform::kAlignTop);
    surface->SetTransparentBackground(true);
    std::vector<Rect> drawn;
    LineTops lineTops(*this, link);
    std::vector<std::pair<const std::string*, Size>> extents;  // a chart has few distinct labels
    const auto extentOf = [&](const std::string& text) {
        for (const auto& [t, size] : extents)
            if (*t == text) return size;
        extents.emplace_back(&text, surface->GetTextExtent(text));
        return extents.back().second;
    };
    for (int i = 0; i < count; ++i) {
        const std::string& text = labels[i];
        if (text.empty()) continue;
        const double xv = getX(*this, i), yv = getY(*this, i);
        const platform::Point p{mapX(*this, xv, yv), mapY(*this, xv, yv)};
        if (!rect.Contains(p)) continue;
        const Size size = extentOf(text);
        Rect box{p.x - size.cx / 2, p.y - markerSize - size.cy, 0, 0};
        box.left = std::max(rect.left, std::min(box.left, rect.right - size.cx));
        const int lineTop = lineTops.Over(box.left, box.left + size.cx);
        if (lineTop != INT_MAX) box.top = std::min(box.top, lineTop - markerSize - size.cy);
        box.top = std::max(box.top, rect.top);
        box.right = box.left + size.cx;
        box.bottom = box.top + size.cy;
        // Names side by side on about one line keep a gap, or they would read as one word.
        const Rect spaced{box.left - markerSize, box.top, box.right + markerSize, box.bottom};
        const auto inTheWay = [&](const Rect& r) {
            return Overlap(r, box) || (std::abs(r.top - box.top) < size.cy / 2 && Overlap(r, spaced));
        };
        if (std::any_of(drawn.begin(), drawn.end(), inTheWay)) continue;
        surface->TextOut(box.left, box.top, text);
        drawn.push_back(box);
    }
    surface->SetTextAlign(oldAlign);
    surface->SetTextColor(oldColor);
    surface->SelectFont(oldFont);
}

// Column by column: the segment's value at the column's centre and the partner line's extremes
// within the column (and the segment) give the rows to fill. The rows of all segments are
// gathered first: where segments share a column (peaks narrower than a column), the rows they
// cover together are filled once; neighbouring columns with the same rows are filled as one
// rectangle.
void CAutoSeries::DrawAreas() {
    if (link == nullptr || link->count <= 0 || rect.IsEmpty()) return;
    const MonotonicLine partner(*link);
    const int L = rect.left, T = rect.top, R = rect.right, B = rect.bottom;
    const double columnWidth = rect.Width() > 1 ? (xMax - xMin) / (rect.Width() - 1) : 0;

    struct Span {
        int column, top, bottom;  // rows top..bottom
    };
    std::vector<Span> spans;
    for (int i = 0; i + 1 < count; ++i) {
        double xa = getX(*this, i), ya = getY(*this, i), xb = getX(*this, i + 1), yb = getY(*this, i + 1);
        if (!std::isfinite(xa) || !std::isfinite(ya) || !std::isfinite(xb) || !std::isfinite(yb)) continue;
        if (xa > xb) {
            std::swap(xa, xb);
            std::swap(ya, yb);
        }
        const int first = std::max(XToPixel(xa), L), last = std::min(XToPixel(xb), R - 1);
        for (int c = first; c <= last; ++c) {
            const double centre = xMin + (c - L) * columnWidth;
            const double lo = std::max(xa, centre - columnWidth / 2), hi = std::min(xb, centre + columnWidth / 2);
            const double at = std::clamp(centre, xa, xb);
            const double base = xb == xa ? ya : ya + (at - xa) * (yb - ya) / (xb - xa);
            double low, high;
            if (!partner.Extremes(lo, hi, low, high)) continue;
            const int rows[] = {YToPixel(base), YToPixel(low), YToPixel(high)};
            const int top = std::max(*std::min_element(std::begin(rows), std::end(rows)), T);
            const int bottom = std::min(*std::max_element(std::begin(rows), std::end(rows)), B - 1);
            if (top <= bottom) spans.push_back({c, top, bottom});
        }
    }
    std::sort(spans.begin(), spans.end(),
              [](const Span& a, const Span& b) { return a.column != b.column ? a.column < b.column : a.top < b.top; });

    struct Run {
        int left = 0, right = 0, top = 0, bottom = -1;  // columns left..right-1, rows top..bottom
    } run;
    const auto flush = [&] {
        if (run.right > run.left) surface->FillRect({run.left, run.top, run.right, run.bottom + 1}, color);
        run = Run{};
    };
    const auto fill = [&](const Span& span) {
        if (run.right == span.column && run.top == span.top && run.bottom == span.bottom) {
            ++run.right;
            return;
        }
        flush();
        run = {span.column, span.column + 1, span.top, span.bottom};
    };
    // A column's spans, in order from the top, joined where they overlap or touch.
    for (std::size_t k = 0; k < spans.size();) {
        Span joined = spans[k++];
        for (; k < spans.size() && spans[k].column == joined.column && spans[k].top <= joined.bottom + 1; ++k)
            joined.bottom = std::max(joined.bottom, spans[k].bottom);
        fill(joined);
    }
    flush();
}
