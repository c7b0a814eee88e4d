#include "chart/AutoAxes.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

using platform::Brush;
using platform::Pen;
using platform::Rect;
using platform::Rgb;
using platform::Surface;

namespace {

constexpr Rgb kFrameColor{0, 0, 0};

// An automatic range narrower than `digits` significant digits of its larger end is widened
// around its centre; a single value becomes a range of 1/10^digits around it.
void Widen(double& min, double& max, int digits) {
    const double eps = 1 / std::pow(10.0, digits);
    if (min == max) {
        min -= eps / 2;
        max += eps / 2;
        return;
    }
    const double m = std::max(std::fabs(min), std::fabs(max));
    const double w = m * eps;
    if (max - min < w) {
        const double c = (max + min) / 2;
        max = c + w / 2;
        min = c - w / 2;
    }
}

}  // namespace

double NiceFactor(double m) {
    if (m > 7.5) return 10;
    if (m > 3.5) return 5;
    if (m > 2.6) return 3;
    if (m > 2.4) return 2.5;
    if (m > 1.5) return 2;
    return 1;
}

void ComputeTickStep(double spacing, double& min, double& max, int length, bool automatic, double& step,
                     double& firstTick, double& lastTick) {
    const double rough = spacing * (max - min) / length;
    if (!(rough > 0) || !std::isfinite(rough)) {
        step = 0;
        firstTick = lastTick = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    const int e = static_cast<int>(std::floor(std::log10(rough)));
    const double m = rough * std::pow(10.0, -e);
    step = std::pow(10.0, e) * NiceFactor(m);

    const double lo = std::floor(min / step) * step;
    if (min - lo < step / 2 && automatic) {
        min = lo;
        firstTick = lo;
    } else {
        firstTick = std::ceil(min / step - 0.01) * step;
    }
    const double hi = std::ceil(max / step) * step;
    if (hi - max < step / 2 && automatic) {
        max = hi;
        lastTick = hi;
    } else {
        lastTick = std::floor(max / step + 0.01) * step;
    }
}

CAutoAxes::CAutoAxes() : labelFont(platform::PointFont("Arial", 8, platform::kDefaultCharset)) {}

int CAutoAxes::AddSeries() {
    series.emplace_back();
    return GetSeriesCount() - 1;
}

void CAutoAxes::ComputeXRange(double& min, double& max) {
    ComputeAxisRange(&CAutoSeries::ComputeXDataRange, xDigits, xPadding, xRangeValid, xMin, xMax, min, max);
}

void CAutoAxes::ComputeYRange(double& min, double& max) {
    ComputeAxisRange(&CAutoSeries::ComputeYDataRange, yDigits, yPadding, yRangeValid, yMin, yMax, min, max);
}

// `min` and `max` may be the members `current*` themselves.
void CAutoAxes::ComputeAxisRange(DataRange dataRange, int digits, double padding, bool& valid, double& currentMin,
                                 double& currentMax, double& min, double& max) {
    if (valid) {
        min = currentMin;
        max = currentMax;
        return;
    }
    double lo = 0, hi = 0;
    if (!series.empty()) {
        lo = DBL_MAX;
        hi = -DBL_MAX;
        for (CAutoSeries& s : series) {
            s.SetFlags(flags);
            double smin, smax;
            (s.*dataRange)(smin, smax);
            if (!(smin >= lo)) lo = smin;
            if (smax > hi) hi = smax;
        }
    }
    if (padding > 0 && std::isfinite(lo) && std::isfinite(hi) && lo < hi) {
        const double pad = (hi - lo) * padding;
        lo -= pad;
        hi += pad;
    }
    Widen(lo, hi, digits);
    currentMin = min = lo;
    currentMax = max = hi;
    valid = true;
}

void CAutoAxes::ComputeRanges() {
    if (autoX) {
        ComputeXRange(xMin, xMax);
    } else {
        xMin = fixXMin;
        xMax = fixXMax;
    }
    if (autoY) {
        ComputeYRange(yMin, yMax);
    } else {
        yMin = fixYMin;
        yMax = fixYMax;
    }
}

int CAutoAxes::WidestLabel(double first, double last, double step) {
    int widest = 0;
    for (CTickIterator it(first, last, step); it.HasMore(); it.Next())
        widest = std::max(widest, surface->GetTextExtent(it.Label()).cx);
    return widest;
}

// The minimum tick spacing starts at six characters and grows one character at a time until
// the widest label plus three characters fits between two ticks. Every pass starts again from
// the range as it was, since a pass may have moved the ends of an automatic range.
int CAutoAxes::ComputeXTicks() {
    const int a = surface->GetTextMetrics().averageCharWidth;
    const int length = rect.Width();
    int spacing = 6 * a;
    double min = xMin, max = xMax;
    int widest = 0;
    for (;;) {
        min = xMin;
        max = xMax;
        ComputeTickStep(spacing, min, max, length, autoX, xStep, xFirstTick, xLastTick);
        widest = WidestLabel(xFirstTick, xLastTick, xStep);
        spacing += a;
        if (spacing >= length) break;
        if (!(length * xStep / (xMax - xMin) < widest + 3 * a)) break;
    }
    xMin = min;
    xMax = max;
    return widest;
}

int CAutoAxes::ComputeYTicks() {
    const int h = surface->GetTextMetrics().height;
    ComputeTickStep(2 * h, yMin, yMax, rect.Height(), autoY, yStep, yFirstTick, yLastTick);
    return WidestLabel(yFirstTick, yLastTick, yStep);
}

void CAutoAxes::ComputeTickDistances() {
    const int h = surface->GetTextMetrics().height;
    tickLong = std::max(h / 3, 1);
    tickShort = std::max(h / 6, 1);
    labelGap = std::max(h / 5, 1);
}

Rect CAutoAxes::FixedMargins(Surface& target, const Rect&) {
    surface = &target;
    const platform::FontDescription oldFont = target.SelectFont(labelFont);
    ComputeTickDistances();
    const platform::TextMetrics tm = target.GetTextMetrics();
    Rect m;
    if (axisStyle & (kClosedFrame | kTicksAllSides)) {
        m.top += 1;
        m.right += 1;
    }
    if (axisStyle & kTicksAllSides) {
        m.top += tickShort;
        m.right += tickShort;
    }
    m.left += labelGap + tickShort + 1;
    m.bottom += labelGap + tickShort + 1 + tm.height;
    m.top = std::max(m.top, tm.ascent);
    target.SelectFont(oldFont);
    return m;
}

// The right inset leaves room for half of the last x label, centred on the right edge; the
// left one for the widest y label or half of the first x label.
Rect CAutoAxes::LabelMargins(Surface& target, const Rect& plot) {
    surface = &target;
    rect = plot;
    const platform::FontDescription oldFont = target.SelectFont(labelFont);
    ComputeRanges();
    const int wx = ComputeXTicks();
    const int wy = ComputeYTicks();
    target.SelectFont(oldFont);
    Rect m;
    m.left = std::max(wy, wx / 2 + 1 - (labelGap + tickShort + 1));
    m.right = wx / 2 + 1;
    return m;
}

void CAutoAxes::DrawGrid() {
    const int L = rect.left, T = rect.top, R = rect.right, B = rect.bottom;
    const bool allSides = (axisStyle & kTicksAllSides) != 0;
    const Pen oldPen = surface->SelectPen({platform::kPenSolid, 1, gridColor});
    if (axisStyle & kVerticalGrid) {
        for (CTickIterator it(xFirstTick, xLastTick, xStep); it.HasMore(); it.Next()) {
            const int p = XToPixel(it.Value());
            surface->MoveTo(p, allSides ? T + tickLong : T);
            surface->LineTo(p, B - tickLong);
        }
    }
    if (axisStyle & kHorizontalGrid) {
        for (CTickIterator it(yFirstTick, yLastTick, yStep); it.HasMore(); it.Next()) {
            const int q = YToPixel(it.Value());
            surface->MoveTo(allSides ? R - tickLong - 1 : R - 1, q);
            surface->LineTo(L + tickLong - 1, q);
        }
    }
    surface->SelectPen(oldPen);
}

// Ticks and labels are drawn for every tick, also one that lies slightly outside the plot.
void CAutoAxes::DrawAxes() {
    const int L = rect.left, T = rect.top, R = rect.right, B = rect.bottom;
    const bool allSides = (axisStyle & kTicksAllSides) != 0;
    const platform::FontDescription oldFont = surface->SelectFont(labelFont);
    ComputeTickDistances();
    const int tl = tickLong, ts = tickShort, g = labelGap;

    const Pen oldPen = surface->SelectPen({platform::kPenSolid, 1, kFrameColor});
    surface->MoveTo(L - 1, T - 1);
    surface->LineTo(L - 1, B);
    surface->LineTo(R, B);
    if (axisStyle & (kClosedFrame | kTicksAllSides)) {
        surface->LineTo(R, T - 1);
        surface->LineTo(L - 1, T - 1);
    }

    surface->SetTextColor(axisColor);
    surface->SetTransparentBackground(true);
    surface->SelectPen({platform::kPenSolid, 1, axisColor});

    surface->SetTextAlign(platform::kAlignCenter | platform::kAlignTop);
    for (CTickIterator it(xFirstTick, xLastTick, xStep); it.HasMore(); it.Next()) {
        const int p = XToPixel(it.Value());
        if (allSides) {
            surface->MoveTo(p, T - 1 - ts);
            surface->LineTo(p, T + tl);
        }
        surface->MoveTo(p, B - tl);
        surface->LineTo(p, B + ts + 1);
        surface->TextOut(p, B + ts + 1 + g, it.Label());
    }

    surface->SetTextAlign(platform::kAlignRight | platform::kAlignBaseline);
    for (CTickIterator it(yFirstTick, yLastTick, yStep); it.HasMore(); it.Next()) {
        const int q = YToPixel(it.Value());
        if (allSides) {
            surface->MoveTo(R + ts, q);
            surface->LineTo(R - tl - 1, q);
        }
        surface->MoveTo(L + tl - 1, q);
        surface->LineTo(L - 2 - ts, q);
        surface->TextOut(L - 1 - ts - g, q, it.Label());
    }

    surface->SelectPen(oldPen);
    surface->SelectFont(oldFont);
}

void CAutoAxes::DrawPlot(Surface& target, const Rect& plot) {
    surface = &target;
    rect = plot;
    ComputeRanges();
    ComputeXTicks();
    ComputeYTicks();

    const Pen oldPen = target.SelectPen(Pen::Null());
    const Brush oldBrush = target.SelectBrush(Brush::Solid(plotColor));
    target.Rectangle(plot.left, plot.top, plot.right, plot.bottom);
    target.SelectBrush(oldBrush);
    target.SelectPen(oldPen);

    DrawGrid();
    for (CAutoSeries& s : series) {
        // Every series is drawn in the plot's coordinates.
        s.fixXMin = xMin;
        s.fixXMax = xMax;
        s.fixYMin = yMin;
        s.fixYMax = yMax;
        s.autoX = false;
        s.autoY = false;
        s.Draw(target, plot);
        if (s.marker == kMarkerBands) DrawGrid();
    }
    DrawAxes();
    xRangeValid = false;
    yRangeValid = false;
}
