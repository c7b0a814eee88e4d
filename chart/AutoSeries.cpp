#include "chart/AutoSeries.h"

#include "chart/BlockExtremes.h"
#include "chart/ColumnLine.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <vector>

using platform::Brush;
using platform::Pen;
using platform::Point;
using platform::Rgb;

namespace {

// Values read from the arrays are widened to double before any arithmetic.
double XFromArray(const CAutoSeries& s, int i) { return static_cast<double>(s.x[i]); }
double XGenerated(const CAutoSeries& s, int i) { return s.x0 + i * s.dx; }
double LogXFromArray(const CAutoSeries& s, int i) { return std::log10(static_cast<double>(s.x[i])); }
double LogXGenerated(const CAutoSeries& s, int i) { return std::log10(s.x0 + i * s.dx); }
double YFromArray(const CAutoSeries& s, int i) { return static_cast<double>(s.y[i]); }
double YGenerated(const CAutoSeries& s, int i) { return s.y0 + i * s.dy; }
double LogYFromArray(const CAutoSeries& s, int i) { return std::log10(static_cast<double>(s.y[i])); }
double LogYGenerated(const CAutoSeries& s, int i) { return std::log10(s.y0 + i * s.dy); }

CAutoSeries::ValueFunction SelectX(int flags, bool hasArray) {
    if (flags & kLogX) return hasArray ? LogXFromArray : LogXGenerated;
    return hasArray ? XFromArray : XGenerated;
}

CAutoSeries::ValueFunction SelectY(int flags, bool hasArray) {
    if (flags & kLogY) return hasArray ? LogYFromArray : LogYGenerated;
    return hasArray ? YFromArray : YGenerated;
}

constexpr Rgb kBandClass0{234, 255, 255};
constexpr Rgb kBandClass1{255, 255, 234};
constexpr Rgb kBandOtherClass{234, 234, 234};
constexpr Rgb kBandOverlap{255, 234, 234};

Rgb BandColor(const int* classes, int i) {
    if (classes == nullptr) return kBandOtherClass;
    switch (classes[i]) {
        case 0: return kBandClass0;
        case 1: return kBandClass1;
        default: return kBandOtherClass;
    }
}

}  // namespace

CAutoSeries::CAutoSeries() : getX(XGenerated), getY(YGenerated) {}

void CAutoSeries::SelectValueFunctions() {
    getX = SelectX(flags, x != nullptr);
    getY = SelectY(flags, y != nullptr);
}

void CAutoSeries::SetData(const float* xValues, const float* yValues, int pointCount) {
    x = xValues;
    y = yValues;
    count = pointCount;
    blocks = nullptr;
    SetFlags(flags);
}

const BlockExtremes* CAutoSeries::YBlocks() const {
    const bool indexes = blocks != nullptr && y != nullptr && blocks->Values() == y && count >= 0 &&
                         blocks->Count() == static_cast<std::size_t>(count);
    return indexes ? blocks : nullptr;
}

void CAutoSeries::SetFlags(int newFlags) {
    CAutoFrame::SetFlags(newFlags);
    SelectValueFunctions();
}

void CAutoSeries::ComputeXDataRange(double& min, double& max) const {
    const bool polar = (flags & kPolar) != 0;
    ComputeDataRange(min, max, [&](int i) { return polar ? getY(*this, i) * std::cos(getX(*this, i)) : getX(*this, i); });
}

void CAutoSeries::ComputeYDataRange(double& min, double& max) const {
    const bool polar = (flags & kPolar) != 0;
    ComputeDataRange(min, max, [&](int i) { return polar ? getY(*this, i) * std::sin(getX(*this, i)) : getY(*this, i); });
}

// A running range in which a not-a-number value never becomes the minimum and stays the
// maximum only until the next ordered value replaces it.
template <typename Value>
void CAutoSeries::ComputeDataRange(double& min, double& max, Value value) const {
    if (count <= 0 && marker != kMarkerBands) {
        min = max = 0;
        return;
    }
    min = DBL_MAX;
    max = -DBL_MAX;
    if (marker == kMarkerBands) return;
    for (int i = 0; i < count; ++i) {
        const double v = value(i);
        if (!(max >= v)) max = v;
        if (min > v) min = v;
    }
}

void CAutoSeries::Draw(platform::Surface& target, const platform::Rect& plot) {
    surface = &target;
    rect = plot;
    const Pen oldPen = target.SelectPen({penStyle, penWidth, color});
    const Brush oldBrush = target.SelectBrush(Brush::Hollow());

    if (autoX) {
        ComputeXDataRange(xMin, xMax);
    } else {
        xMin = fixXMin;
        xMax = fixXMax;
    }
    if (autoY) {
        ComputeYDataRange(yMin, yMax);
    } else {
        yMin = fixYMin;
        yMax = fixYMax;
    }

    if (marker == kMarkerBands)
        DrawBands();
    else if (marker == kMarkerArea)
        DrawAreas();
    else if (marker == kMarkerLabel)
        DrawLabels();
    else
        DrawMarkers();

    if (count > 1) {
        // A smooth curve is built from four consecutive points; with fewer it has no interval
        // to draw, so such a series is joined by straight segments.
        if (lineType == kLineStraight || (lineType == kLineSmooth && count < 4))
            DrawStraight();
        else if (lineType == kLineSmooth)
            DrawSmooth();
        else if (lineType == kLineColumns)
            DrawColumns();
    }

    target.SelectBrush(oldBrush);
    target.SelectPen(oldPen);
}

void CAutoSeries::DrawMarkers() {
    if (marker < kMarkerCircle || marker > kMarkerArrow) return;
    const int s = markerSize;
    for (int i = 0; i < count; ++i) {
        const double xv = getX(*this, i);
        const double yv = getY(*this, i);
        const Point p{mapX(*this, xv, yv), mapY(*this, xv, yv)};
        if (!rect.Contains(p)) continue;
        switch (marker) {
            case kMarkerCircle:
                surface->Ellipse(p.x - s, p.y - s, p.x + s + 1, p.y + s + 1);
                break;
            case kMarkerDiagonalCross:
                surface->MoveTo(p.x - s, p.y - s);
                surface->LineTo(p.x + s + 1, p.y + s + 1);
                surface->MoveTo(p.x + s, p.y - s);
                surface->LineTo(p.x - s - 1, p.y + s + 1);
                break;
            case kMarkerUprightCross:
                surface->MoveTo(p.x, p.y - s);
                surface->LineTo(p.x, p.y + s + 1);
                surface->MoveTo(p.x - s, p.y);
                surface->LineTo(p.x + s + 1, p.y);
                break;
            case kMarkerSquare:
                surface->Rectangle(p.x - s, p.y - s, p.x + s + 1, p.y + s + 1);
                break;
            case kMarkerArrow:
                surface->Ellipse(p.x - s, p.y - s, p.x + s + 1, p.y + s + 1);
                DrawArrow(i, p);
                break;
        }
    }
}

// The partner point is read with this series' value functions (its mode flags) applied to the
// partner's data, and mapped with this series' mapping.
void CAutoSeries::DrawArrow(int i, Point from) {
    if (link == nullptr || i >= link->count) return;
    const double xv = SelectX(flags, link->x != nullptr)(*link, i);
    const double yv = SelectY(flags, link->y != nullptr)(*link, i);
    const Point to{mapX(*this, xv, yv), mapY(*this, xv, yv)};
    if (!IsExactPixel(to)) return;
    const int s = markerSize;
    const int d = from.y > to.y ? 1 : -1;
    const long long distance = std::llabs(static_cast<long long>(from.y) - to.y);
    if (distance < s) return;
    surface->MoveTo(from.x, from.y - s * d);
    surface->LineTo(to.x, to.y);
    if (distance >= 4LL * s) {
        surface->MoveTo(to.x, to.y);
        surface->LineTo(to.x - 2, to.y + 3 * s * d);
        surface->MoveTo(to.x, to.y);
        surface->LineTo(to.x + 2, to.y + 3 * s * d);
    }
}

void CAutoSeries::DrawBands() {
    struct Band {
        int a, b;
    };
    const int left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;
    const Pen oldPen = surface->SelectPen(Pen::Null());
    std::vector<Band> visible;
    for (int i = 0; i < count; ++i) {
        int a = mapX(*this, getX(*this, i), 0);
        int b = mapX(*this, getY(*this, i), 0);
        if (a == kNoPixel || b == kNoPixel) continue;  // an end that is not a number: no extent
        if (!((a > left || b > left) && (a < right || b < right))) continue;
        if (a <= left) a = left;
        if (b >= right) b = right;
        surface->SelectBrush(Brush::Solid(BandColor(classes, i)));
        surface->Rectangle(a, bottom + 1, b, top);
        visible.push_back({a, b});
    }
    surface->SelectBrush(Brush::Solid(kBandOverlap));
    for (std::size_t i = 0; i < visible.size(); ++i) {
        for (std::size_t j = i + 1; j < visible.size(); ++j) {
            const Band bi = visible[i], bj = visible[j];
            if (bj.a > bi.a && bj.a < bi.b)
                surface->Rectangle(bj.a, bottom + 1, std::min(bj.b, bi.b), top);
            else if (bi.a > bj.a && bi.a < bj.b)
                surface->Rectangle(bi.a, bottom + 1, std::min(bi.b, bj.b), top);
        }
    }
    surface->SelectPen(oldPen);
}

// The points are mapped first, then drawn: see LineToPixel.
void CAutoSeries::DrawStraight() {
    std::vector<Point> pixels(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double xv = getX(*this, i), yv = getY(*this, i);
        pixels[static_cast<std::size_t>(i)] = {mapX(*this, xv, yv), mapY(*this, xv, yv)};
    }
    MoveToPixel(pixels[0]);
    for (std::size_t i = 1; i < pixels.size(); ++i) LineToPixel(pixels[i]);
}

void CAutoSeries::DrawColumns() {
    const std::vector<int> points = ColumnPoints(*this);
    if (points.empty()) return;
    std::vector<Point> pixels(points.size());
    for (std::size_t k = 0; k < points.size(); ++k) {
        const double xv = getX(*this, points[k]), yv = getY(*this, points[k]);
        pixels[k] = {mapX(*this, xv, yv), mapY(*this, xv, yv)};
    }
    MoveToPixel(pixels[0]);
    for (std::size_t k = 1; k < pixels.size(); ++k) LineToPixel(pixels[k]);
}

void CAutoSeries::DrawSmooth() {
    // A curve over strictly monotonic x is a function of x; anything else (x standing still or
    // turning back) is drawn as a parametric curve.
    const double d0 = getX(*this, 1) - getX(*this, 0);
    bool parametric = d0 == 0;
    for (int k = 1; k + 1 < count && !parametric; ++k)
        if ((getX(*this, k + 1) - getX(*this, k)) * d0 <= 0) parametric = true;
    for (int i = 1; i <= count - 3; ++i) {
        if (parametric)
            DrawParametricInterval(i);
        else
            DrawFunctionInterval(i);
    }
}

// Interval b..c of points a, b, c, d: a cubic whose end slopes come from the parabolas through
// a, b, c and b, c, d. The first and last intervals of the series are those parabolas.
void CAutoSeries::DrawFunctionInterval(int i) {
    const int n = std::max(splineSteps, 1);
    const double a = getX(*this, i - 1), b = getX(*this, i), c = getX(*this, i + 1), d = getX(*this, i + 2);
    const double ya = getY(*this, i - 1), yb = getY(*this, i), yc = getY(*this, i + 1), yd = getY(*this, i + 2);
    const double f1 = ((b - a) * (yc - yb) - (c - b) * (yb - ya)) / ((c - a) * (b - a) * (c - b));
    const double f2 = ((c - b) * (yd - yc) - (d - c) * (yc - yb)) / ((d - b) * (c - b) * (d - c));
    const double s1 = ((yc - yb) - (c - b) * (c - b) * f1) / (c - b);
    const double s2 = ((yd - yc) - (d - c) * (d - c) * f2) / (d - c);

    if (i == 1) {
        MoveToValue(a, ya);
        for (int j = 0; j < n; ++j) {
            const double X = a + (b - a) * j / n;
            LineToValue(X, yb + (X - b) * (s1 + (X - b) * f1));
        }
    }
    const double h = c - b;
    const double m = (yc - yb) / h;
    const double A = (m - s1) / h;
    const double Bc = ((s2 - m) - h * A) / (h * h);
    for (int j = 0; j < n; ++j) {
        const double X = b + h * j / n;
        const double u = X - b;
        LineToValue(X, yb + u * (m + (X - c) * A * (1 + u * u * Bc)));
    }
    if (i == count - 3) {
        for (int j = 0; j <= n; ++j) {
            const double X = c + (d - c) * j / n;
            const double v = X - c;
            LineToValue(X, yc + v * s2 + v * v * f2);
        }
    }
}

// The same in a parameter t, for x and y alike: t runs -1..0 over the first interval, 0..1 over
// the middle one and 1..2 over the last.
void CAutoSeries::DrawParametricInterval(int i) {
    const int n = std::max(splineSteps, 1);
    const double a = getX(*this, i - 1), b = getX(*this, i), c = getX(*this, i + 1), d = getX(*this, i + 2);
    const double ya = getY(*this, i - 1), yb = getY(*this, i), yc = getY(*this, i + 1), yd = getY(*this, i + 2);

    if (i == 1) {
        MoveToValue(a, ya);
        const double px = (c - a) / 2, qx = (c + a) / 2 - b;
        const double py = (yc - ya) / 2, qy = (yc + ya) / 2 - yb;
        for (int j = 0; j < n; ++j) {
            const double t = static_cast<double>(j) / n - 1;
            LineToValue(b + px * t + qx * t * t, yb + py * t + qy * t * t);
        }
    }
    const double px = 2 * c - (3 * b + d) / 2, qx = (d + b) / 2 - c, rx = (3 * b + d - 3 * c - a) / 2;
    const double py = 2 * yc - (3 * yb + yd) / 2, qy = (yd + yb) / 2 - yc, ry = (3 * yb + yd - 3 * yc - ya) / 2;
    for (int j = 0; j < n; ++j) {
        const double t = static_cast<double>(j) / n;
        const double bend = t * (t - 1) * (t - 1);
        LineToValue(b + px * t + qx * t * t + rx * bend, yb + py * t + qy * t * t + ry * bend);
    }
    if (i == count - 3) {
        for (int j = 0; j <= n; ++j) {
            const double t = 1 + static_cast<double>(j) / n;
            LineToValue(b + px * t + qx * t * t, yb + py * t + qy * t * t);
        }
    }
}
