#pragma once

#include "chart/auto.h"

#include <QImage>

#include <utility>

namespace charttest {

inline QRgb ToQRgb(platform::Rgb c) { return qRgb(c.r, c.g, c.b); }

inline bool Is(const QImage& image, int x, int y, platform::Rgb c) {
    return image.valid(x, y) && image.pixel(x, y) == ToQRgb(c);
}

inline int CountOf(const QImage& image, platform::Rgb c, const platform::Rect& area) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) n += Is(image, x, y, c) ? 1 : 0;
    return n;
}

inline int CountOf(const QImage& image, platform::Rgb c) { return CountOf(image, c, {0, 0, image.width(), image.height()}); }

// A white image of the given size after `draw` has drawn on a surface over it.
template <typename Draw>
QImage Drawn(int w, int h, Draw draw) {
    QImage image = platform::MakeImage(w, h);
    {
        platform::Surface surface(image);
        draw(surface);
    }
    return image;
}

inline constexpr platform::Rgb kWhite{255, 255, 255};
inline constexpr platform::Rgb kBlack{0, 0, 0};
inline constexpr platform::Rgb kRed{255, 0, 0};
inline constexpr platform::Rgb kBlue{0, 0, 255};

}  // namespace charttest
