#include "platform/gui/Surface.h"

#include "platform/MulDiv.h"
#include "platform/gui/SurfaceShared.h"

#include <QLine>
#include <QList>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

// The surface's lines: the pen, and the chain of MoveTo/LineTo points drawn when it is flushed.
namespace platform {

using namespace surface;

namespace {

// The end pixel of a line is left out: the last point moves back one pixel along the line's
// major axis, the minor axis following the line's slope.
Point OnePixelShort(Point from, Point to) {
    const int dx = to.x - from.x;
    const int dy = to.y - from.y;
    const int len = std::max(std::abs(dx), std::abs(dy));
    if (len <= 1) return from;
    if (std::abs(dx) >= std::abs(dy))
        return {to.x - (dx > 0 ? 1 : -1), from.y + MulDiv(dy, len - 1, len)};
    return {from.x + MulDiv(dx, len - 1, len), to.y - (dy > 0 ? 1 : -1)};
}

}  // namespace

Pen Surface::SelectPen(const Pen& pen) {
    Flush();
    Pen old = std::exchange(pen_, pen);
    ApplyPen();
    return old;
}

void Surface::ApplyPen() {
    if (!painter_) return;
    if (pen_.style == kPenNull) {
        painter_->setPen(Qt::NoPen);
        return;
    }
    QPen pen(ToQColor(pen_.color));
    if (pen_.width <= 1 && scaled_) {
        // One logical pixel: as many device pixels as the ratio, the ends and corners square.
        pen.setWidth(1);
        pen.setCapStyle(Qt::SquareCap);
        pen.setJoinStyle(Qt::MiterJoin);
    } else if (pen_.width <= 1) {
        pen.setWidth(0);  // cosmetic: one pixel whatever the transformation
    } else {
        pen.setWidth(pen_.width);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
    }
    // Dash lengths in pen widths, as a device context draws its styled one-pixel pens.
    QList<qreal> pattern;
    switch (pen_.style) {
        case kPenDash: pattern = {18, 6}; break;
        case kPenDot: pattern = {3, 3}; break;
        case kPenDashDot: pattern = {9, 6, 3, 6}; break;
        case kPenDashDotDot: pattern = {9, 3, 3, 3, 3, 3}; break;
        default: break;
    }
    // A square cap lengthens every dash by half a pen width at each end: the scaled pen's dashes
    // are one shorter and its gaps one longer, so that they cover the pixels the cosmetic pen's do.
    if (scaled_ && pen_.width <= 1)
        for (qsizetype i = 0; i < pattern.size(); ++i) pattern[i] += i % 2 == 0 ? -1 : 1;
    if (!pattern.isEmpty()) pen.setDashPattern(pattern);
    painter_->setPen(pen);
}

void Surface::MoveTo(int x, int y) {
    Flush();
    position_ = {x, y};
}

void Surface::LineTo(int x, int y) {
    const Point to{x, y};
    if (to == position_) return;
    if (pen_.style != kPenNull && painter_) {
        if (chain_.empty()) chain_.push_back(position_);
        chain_.push_back(to);
    }
    position_ = to;
}

void Surface::Flush() {
    if (chain_.size() < 2) {
        chain_.clear();
        return;
    }
    if (pen_.style == kPenSolid && pen_.width <= 1) {
        FlushSegments();
    } else {
        FlushPolyline();
    }
    chain_.clear();
}

// Each line of the chain on its own, its end pixel left out, so that the joints are those of
// the segments alone: a polyline's stroker decides some joint pixels by the direction of the
// segment before, and the same pixels must come out however a line is split into segments.
//
// Upright and level segments are filled as rectangles one pixel wide, which covers the same
// pixels many times faster: a chart's lines drawn per pixel column are mostly upright. One
// upright segment after another in the same column joins the one before at its first pixel,
// so such a run is filled once, from its highest pixel to its lowest, rather than going over
// its rows again for each segment. (Not when inverting, where a fill would not invert.)
void Surface::FlushSegments() {
    std::vector<QLine> lines;
    lines.reserve(chain_.size() - 1);
    struct UprightRun {
        bool open = false;
        int x = 0, top = 0, bottom = 0;
    } run;
    const auto fillRun = [&] {
        if (run.open) FillSolid({run.x, run.top, run.x + 1, run.bottom + 1}, pen_.color);
        run.open = false;
    };
    for (std::size_t i = 0; i + 1 < chain_.size(); ++i) {
        const Point from = chain_[i];
        const Point end = OnePixelShort(from, chain_[i + 1]);
        if (!invert_ && from.x == end.x) {
            const int top = std::min(from.y, end.y), bottom = std::max(from.y, end.y);
            if (run.open && run.x == from.x) {
                run.top = std::min(run.top, top);
                run.bottom = std::max(run.bottom, bottom);
            } else {
                fillRun();
                run = {true, from.x, top, bottom};
            }
            continue;
        }
        fillRun();
        if (!invert_ && from.y == end.y) {
            FillSolid({std::min(from.x, end.x), from.y, std::max(from.x, end.x) + 1, from.y + 1}, pen_.color);
            continue;
        }
        lines.emplace_back(from.x, from.y, end.x, end.y);
    }
    fillRun();
    if (lines.empty()) return;
    const StrokeCentred centred(*painter_, scaled_);
    painter_->drawLines(lines.data(), static_cast<int>(lines.size()));
}

// A wide or styled pen draws the chain as one polyline: its joins and its dash pattern run on
// across the joints.
void Surface::FlushPolyline() {
    const std::size_t n = chain_.size();
    const Point end = OnePixelShort(chain_[n - 2], chain_[n - 1]);
    const StrokeCentred centred(*painter_, scaled_);
    if (end == chain_[n - 2]) {
        chain_.pop_back();
        if (chain_.size() == 1) {
            painter_->drawPoint(chain_[0].x, chain_[0].y);
            return;
        }
    } else {
        chain_.back() = end;
    }
    QPolygon polygon(static_cast<int>(chain_.size()));
    for (int i = 0; i < polygon.size(); ++i) polygon[i] = QPoint(chain_[i].x, chain_[i].y);
    painter_->drawPolyline(polygon);
}

}  // namespace platform
