#pragma once

#include "chart/auto.h"

#include <QImage>

#include <algorithm>
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

// Pixels for which pred(QColor) holds: texts are antialiased, so their colours are blends.
template <typename Pred>
int CountWhere(const QImage& image, const platform::Rect& area, Pred pred) {
    int n = 0;
    for (int y = std::max(area.top, 0); y < std::min(area.bottom, image.height()); ++y)
        for (int x = std::max(area.left, 0); x < std::min(area.right, image.width()); ++x)
            n += pred(QColor(image.pixel(x, y))) ? 1 : 0;
    return n;
}

inline int CountDark(const QImage& image, const platform::Rect& area) {
    return CountWhere(image, area, [](QColor c) { return c.red() < 128 && c.green() < 128 && c.blue() < 128; });
}

inline int CountBluish(const QImage& image, const platform::Rect& area) {
    return CountWhere(image, area, [](QColor c) { return c.blue() - c.red() > 60 && c.blue() - c.green() > 60; });
}

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
