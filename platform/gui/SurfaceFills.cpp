#include "platform/gui/Surface.h"

#include "platform/gui/SurfaceShared.h"

#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <utility>

// The surface's fills: the brush, rectangles and ellipses, and solid fills, written straight
// into an image's pixels where the surface has them.
namespace platform {

using namespace surface;

Brush Surface::SelectBrush(const Brush& brush) {
    Flush();
    Brush old = std::exchange(brush_, brush);
    ApplyBrush();
    return old;
}

void Surface::ApplyBrush() {
    if (!painter_) return;
    if (brush_.hollow)
        painter_->setBrush(Qt::NoBrush);
    else
        painter_->setBrush(ToQColor(brush_.color));
}

void Surface::Rectangle(int left, int top, int right, int bottom) {
    Flush();
    const Rect r = Normalised(left, top, right, bottom);
    if (r.IsEmpty() || !painter_) return;
    if (pen_.style == kPenNull) {
        if (!brush_.hollow) FillSolid({r.left, r.top, r.right - 1, r.bottom - 1}, brush_.color);
        return;
    }
    if (pen_.style != kPenSolid || pen_.width > 1) {
        const StrokeCentred centred(*painter_, scaled_);
        painter_->drawRect(QRect(r.left, r.top, r.Width() - 1, r.Height() - 1));
        return;
    }
    // A one-pixel frame is filled edge by edge, so that no pixel is drawn twice: in the
    // inverting mode a corner drawn twice would come out uninverted.
    if (!brush_.hollow && r.Width() > 2 && r.Height() > 2)
        FillSolid({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, brush_.color);
    const Rgb c = pen_.color;
    FillSolid({r.left, r.top, r.right, r.top + 1}, c);
    if (r.Height() > 1) FillSolid({r.left, r.bottom - 1, r.right, r.bottom}, c);
    if (r.Height() > 2) {
        FillSolid({r.left, r.top + 1, r.left + 1, r.bottom - 1}, c);
        if (r.Width() > 1) FillSolid({r.right - 1, r.top + 1, r.right, r.bottom - 1}, c);
    }
}

void Surface::Ellipse(int left, int top, int right, int bottom) {
    Flush();
    const Rect r = Normalised(left, top, right, bottom);
    if (r.IsEmpty() || !painter_) return;
    // QPainter covers one pixel more than the box it is given when it outlines, and exactly
    // the box when it only fills: both match the device context's rule with this box.
    const StrokeCentred centred(*painter_, scaled_ && pen_.style != kPenNull);
    painter_->drawEllipse(QRect(r.left, r.top, r.Width() - 1, r.Height() - 1));
}

void Surface::FillRect(const Rect& rect, Rgb color) {
    Flush();
    const Rect r = Normalised(rect.left, rect.top, rect.right, rect.bottom);
    if (r.IsEmpty() || !painter_) return;
    if (!invert_) {
        FillSolid(r, color);
        return;
    }
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_->fillRect(ToQRect(r), ToQColor(color));
    painter_->setCompositionMode(QPainter::RasterOp_NotDestination);
}

// Inverting, the painter's composition mode turns the fill into an inversion: only the painter
// does that.
void Surface::FillSolid(const Rect& r, Rgb color) {
    if (pixels_ == nullptr || invert_) {
        painter_->fillRect(ToQRect(r), ToQColor(color));
        return;
    }
    const Rect inside = Intersect(r, {0, 0, pixelColumns_, pixelRows_});
    if (inside.IsEmpty()) return;
    const std::uint32_t pixel = 0xff000000u | (std::uint32_t{color.r} << 16) | (std::uint32_t{color.g} << 8) | color.b;
    std::uint32_t* row = pixels_ + inside.top * pixelsPerLine_ + inside.left;
    const int width = inside.Width();
    if (width == 1) {  // upright lines: most of a chart's fills
        for (int y = inside.top; y < inside.bottom; ++y, row += pixelsPerLine_) *row = pixel;
        return;
    }
    for (int y = inside.top; y < inside.bottom; ++y, row += pixelsPerLine_) std::fill_n(row, width, pixel);
}

}  // namespace platform
