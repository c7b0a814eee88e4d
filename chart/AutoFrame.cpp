#include "chart/AutoFrame.h"

#include "platform/MulDiv.h"

#include <cmath>

using platform::MulDiv;
using platform::Point;

namespace {

// To the nearest integer, an exact half going down: 2.5 gives 2, -2.5 gives -3.
double RoundHalfDown(double t) { return std::ceil(t - 0.5); }

// A pixel coordinate: not a number has no pixel, and anything beyond kFarPixel is held there
// (it lies outside every plot either way).
int ToPixel(double p) {
    if (std::isnan(p)) return kNoPixel;
    if (p <= -kFarPixel) return -kFarPixel;
    if (p >= kFarPixel) return kFarPixel;
    return static_cast<int>(p);
}

int CartesianX(const CAutoFrame& f, double xv, double) { return f.XToPixel(xv); }
int CartesianY(const CAutoFrame& f, double, double yv) { return f.YToPixel(yv); }
int PolarX(const CAutoFrame& f, double xv, double yv) { return f.XToPixel(yv * std::cos(xv)); }
int PolarY(const CAutoFrame& f, double xv, double yv) { return f.YToPixel(yv * std::sin(xv)); }

bool StrictlyOnOneSide(int a, int b, int e) { return (a < e && b < e) || (a > e && b > e); }

// Moves p along the segment p-o onto row e, unless both ends lie strictly on one side of it.
void CutAtRow(Point& p, int e, const Point& o) {
    if (StrictlyOnOneSide(p.y, o.y, e)) return;
    p.x += MulDiv(e - p.y, o.x - p.x, o.y - p.y);
    p.y = e;
}

void CutAtColumn(Point& p, int e, const Point& o) {
    if (StrictlyOnOneSide(p.x, o.x, e)) return;
    p.y += MulDiv(e - p.x, o.y - p.y, o.x - p.x);
    p.x = e;
}

}  // namespace

bool StoreRange(double min, double max, bool log, double& lo, double& hi) {
    if (!(min < max)) return false;
    lo = log ? std::log10(min) : min;
    hi = log ? std::log10(max) : max;
    return true;
}

CAutoFrame::CAutoFrame() : mapX(CartesianX), mapY(CartesianY) {}

void CAutoFrame::SetFlags(int newFlags) {
    flags = newFlags;
    const bool polar = (flags & kPolar) != 0;
    mapX = polar ? PolarX : CartesianX;
    mapY = polar ? PolarY : CartesianY;
    autoX = true;
    autoY = true;
}

void CAutoFrame::SetXRange(double min, double max) {
    autoX = !StoreRange(min, max, (flags & kLogX) != 0, fixXMin, fixXMax);
}

void CAutoFrame::SetYRange(double min, double max) {
    autoY = !StoreRange(min, max, (flags & kLogY) != 0, fixYMin, fixYMax);
}

void CAutoFrame::GetXRange(double& min, double& max) const {
    min = xMin;
    max = xMax;
}

void CAutoFrame::GetYRange(double& min, double& max) const {
    min = yMin;
    max = yMax;
}

int CAutoFrame::XToPixel(double v) const {
    if (xMax == xMin) return 0;
    return ToPixel(rect.left + RoundHalfDown((rect.Width() - 1) * (v - xMin) / (xMax - xMin)));
}

int CAutoFrame::YToPixel(double v) const {
    if (yMax == yMin) return 0;
    return ToPixel((rect.bottom - 1) - RoundHalfDown((rect.Height() - 1) * (v - yMin) / (yMax - yMin)));
}

double CAutoFrame::PixelToX(int px) const {
    const double v = xMin + (px - rect.left) * (xMax - xMin) / (rect.Width() - 1);
    return (flags & kLogX) ? std::pow(10.0, v) : v;
}

double CAutoFrame::PixelToY(int py) const {
    const double v = yMax - (py - rect.top) * (yMax - yMin) / (rect.Height() - 1);
    return (flags & kLogY) ? std::pow(10.0, v) : v;
}

void CAutoFrame::MoveToValue(double x, double y) { MoveToPixel({mapX(*this, x, y), mapY(*this, x, y)}); }

void CAutoFrame::LineToValue(double x, double y) { LineToPixel({mapX(*this, x, y), mapY(*this, x, y)}); }

void CAutoFrame::MoveToPixel(Point p) {
    penPos = p;
    penInside = rect.Contains(penPos);
    surface->MoveTo(penPos.x, penPos.y);
}

void CAutoFrame::LineToPixel(Point p) {
    if (p == penPos) return;
    const bool inside = rect.Contains(p);
    // An end that maps to no exact pixel gives the segment no direction to clip along; such a
    // segment is left out, as one with both ends outside is.
    if ((penInside || inside) && IsExactPixel(penPos) && IsExactPixel(p)) {
        Point from = penPos;
        Point to = p;
        if (!(penInside && inside)) Clip(from, to);
        if (!penInside) surface->MoveTo(from.x, from.y);
        surface->LineTo(to.x, to.y);
    } else if (inside) {
        // The next segment starts here without moving: the surface must be here too.
        surface->MoveTo(p.x, p.y);
    }
    penPos = p;
    penInside = inside;
}

// Cuts the segment to the plot's rows and then its columns. Where the two ends lie on one row
// (or column) the cut divides by zero, which MulDiv answers with -1: the end then moves one
// pixel along that row, as it always has.
void CAutoFrame::Clip(Point& from, Point& to) const {
    Point* u = from.y < to.y ? &from : &to;
    Point* v = u == &from ? &to : &from;
    CutAtRow(*u, rect.top, *v);
    CutAtRow(*v, rect.bottom - 1, *u);
    u = from.x < to.x ? &from : &to;
    v = u == &from ? &to : &from;
    CutAtColumn(*u, rect.left, *v);
    CutAtColumn(*v, rect.right - 1, *u);
}
