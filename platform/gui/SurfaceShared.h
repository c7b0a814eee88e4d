#pragma once

#include "platform/gui/Surface.h"

#include <QColor>
#include <QPainter>
#include <QRect>

#include <utility>

// What the drawing surface's files share: the conversions to Qt's types and the half-pixel
// shift of strokes on a scaled device. Internal to platform/gui.
namespace platform::surface {

inline constexpr int kDefaultDpi = 96;
inline constexpr double kMetersPerInch = 0.0254;

inline QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

inline Rect Normalised(int left, int top, int right, int bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    return {left, top, right, bottom};
}

inline QRect ToQRect(const Rect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

// On a scaled device a stroke of logical width 1 drawn through the integer point (x, y) would
// cover half of pixel x-1 and half of pixel x; shifted by half a pixel it covers pixel x whole,
// which is the pixel the unscaled device paints. Fills and texts are not shifted.
class StrokeCentred {
public:
    StrokeCentred(QPainter& painter, bool scaled) : painter_(painter), scaled_(scaled) {
        if (scaled_) painter_.translate(0.5, 0.5);
    }
    ~StrokeCentred() {
        if (scaled_) painter_.translate(-0.5, -0.5);
    }
    StrokeCentred(const StrokeCentred&) = delete;
    StrokeCentred& operator=(const StrokeCentred&) = delete;

private:
    QPainter& painter_;
    bool scaled_;
};

}  // namespace platform::surface
