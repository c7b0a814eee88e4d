#include "platform/gui/Surface.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

using platform::Brush;
using platform::Pen;
using platform::Rect;
using platform::Rgb;
using platform::Surface;

namespace {

constexpr QRgb kWhite = 0xffffffff;
constexpr QRgb kBlack = 0xff000000;

using PixelSet = std::set<std::pair<int, int>>;

PixelSet PixelsOf(const QImage& image, QRgb color) {
    PixelSet pixels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == color) pixels.insert({x, y});
    return pixels;
}

// The pixels of `image` that are not white, as a bounding rectangle (right and bottom exclusive).
Rect InkBounds(const QImage& image) {
    Rect r{image.width(), image.height(), 0, 0};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != kWhite) {
                r.left = std::min(r.left, x);
                r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1);
                r.bottom = std::max(r.bottom, y + 1);
            }
    return r;
}

template <typename Draw>
QImage Drawn(int w, int h, Draw draw) {
    QImage image = platform::MakeImage(w, h);
    {
        Surface s(image);
        draw(s);
    }
    return image;
}

TEST(Surface, LineLeavesOutItsEndPixelInEveryDirection) {
    struct Case {
        int x0, y0, x1, y1;
        PixelSet expected;
    };
    const Case cases[] = {
        {2, 5, 6, 5, {{2, 5}, {3, 5}, {4, 5}, {5, 5}}},
        {6, 5, 2, 5, {{6, 5}, {5, 5}, {4, 5}, {3, 5}}},
        {4, 1, 4, 4, {{4, 1}, {4, 2}, {4, 3}}},
        {4, 4, 4, 1, {{4, 4}, {4, 3}, {4, 2}}},
        {1, 1, 4, 4, {{1, 1}, {2, 2}, {3, 3}}},
        {4, 1, 1, 4, {{4, 1}, {3, 2}, {2, 3}}},
        {3, 3, 4, 3, {{3, 3}}},  // a line one pixel long draws its start
    };
    for (const Case& c : cases) {
        const QImage image = Drawn(10, 10, [&](Surface& s) {
            s.MoveTo(c.x0, c.y0);
            s.LineTo(c.x1, c.y1);
        });
        EXPECT_EQ(PixelsOf(image, kBlack), c.expected) << c.x0 << "," << c.y0 << " -> " << c.x1 << "," << c.y1;
    }
}

TEST(Surface, SteepLineDrawsOnePixelPerRowAndStopsBeforeItsEnd) {
    const QImage image = Drawn(20, 20, [](Surface& s) {
        s.MoveTo(2, 1);
        s.LineTo(7, 15);
    });
    const PixelSet pixels = PixelsOf(image, kBlack);
    EXPECT_EQ(pixels.size(), 14u);
    EXPECT_TRUE(pixels.count({2, 1}));
    EXPECT_FALSE(pixels.count({7, 15}));
    for (int y = 1; y < 15; ++y) {
        int inRow = 0;
        for (int x = 0; x < 20; ++x) inRow += pixels.count({x, y}) ? 1 : 0;
        EXPECT_EQ(inRow, 1) << "row " << y;
    }
}

TEST(Surface, ChainOfLinesDrawsEveryJointAndLeavesOutOnlyTheLastEnd) {
    const QImage image = Drawn(10, 10, [](Surface& s) {
        s.MoveTo(1, 1);
        s.LineTo(5, 1);
        s.LineTo(5, 4);
        s.LineTo(2, 4);
        s.LineTo(2, 4);  // to where it is: nothing
    });
    const PixelSet expected{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {5, 2}, {5, 3}, {5, 4}, {4, 4}, {3, 4}};
    EXPECT_EQ(PixelsOf(image, kBlack), expected);
}

// A chain that goes up and down a column many times (a signal drawn per pixel column) covers
// the pixels of its segments drawn one by one, no more.
TEST(Surface, ChainUpAndDownAColumnDrawsThePixelsOfItsSegments) {
    // Up and down column 3 and 4, a level step, column 6, a diagonal jump, column 9, and a
    // one-pixel diagonal step into column 10.
    const std::vector<platform::Point> chain = {{3, 10}, {3, 2}, {3, 14}, {3, 9}, {4, 12}, {4, 13}, {4, 1}, {4, 5},
                                                {6, 5},  {6, 18}, {6, 17}, {9, 3}, {9, 7},  {9, 8},  {10, 9}, {10, 15}};
    const QImage asChain = Drawn(12, 20, [&](Surface& s) {
        s.MoveTo(chain[0].x, chain[0].y);
        for (std::size_t i = 1; i < chain.size(); ++i) s.LineTo(chain[i].x, chain[i].y);
    });
    const QImage oneByOne = Drawn(12, 20, [&](Surface& s) {
        for (std::size_t i = 1; i < chain.size(); ++i) {
            s.MoveTo(chain[i - 1].x, chain[i - 1].y);
            s.LineTo(chain[i].x, chain[i].y);
        }
    });
    EXPECT_EQ(PixelsOf(asChain, kBlack), PixelsOf(oneByOne, kBlack));
    EXPECT_FALSE(PixelsOf(asChain, kBlack).count({10, 15})) << "the chain's last end is drawn";
    EXPECT_TRUE(PixelsOf(asChain, kBlack).count({3, 14}));
}

TEST(Surface, PensDrawByStyleAndWidth) {
    const auto line = [](Pen pen) {
        return PixelsOf(Drawn(60, 20, [&](Surface& s) {
                            s.SelectPen(pen);
                            s.MoveTo(0, 10);
                            s.LineTo(59, 10);
                        }),
                        kBlack)
            .size();
    };
    EXPECT_EQ(line({platform::kPenSolid, 0, {}}), 59u);
    EXPECT_EQ(line({platform::kPenSolid, 1, {}}), 59u);
    EXPECT_GT(line({platform::kPenSolid, 3, {}}), 59u * 3 - 10);
    EXPECT_EQ(line(Pen::Null()), 0u);
    const std::size_t dashed = line({platform::kPenDash, 0, {}});
    EXPECT_GT(dashed, 30u);
    EXPECT_LT(dashed, 59u);
    EXPECT_EQ(PixelsOf(Drawn(10, 10, [](Surface& s) {
                           s.SelectPen({platform::kPenSolid, 0, {255, 0, 0}});
                           s.MoveTo(1, 1);
                           s.LineTo(5, 1);
                       }),
                       QColor(255, 0, 0).rgb())
                  .size(),
              4u);
}

TEST(Surface, RectangleAndEllipseCoverTheirBoxLessRightAndBottom) {
    // (2, 3, 9, 8) with a pen: columns 2..8, rows 3..7, given in any order.
    for (const Rect& box : {Rect{2, 3, 9, 8}, Rect{9, 8, 2, 3}, Rect{9, 3, 2, 8}}) {
        EXPECT_EQ(InkBounds(Drawn(12, 12, [&](Surface& s) { s.Rectangle(box.left, box.top, box.right, box.bottom); })),
                  (Rect{2, 3, 9, 8}));
        EXPECT_EQ(InkBounds(Drawn(12, 12, [&](Surface& s) { s.Ellipse(box.left, box.top, box.right, box.bottom); })),
                  (Rect{2, 3, 9, 8}));
    }
    // With the null pen only the fill is drawn, one pixel smaller at the right and bottom.
    const auto filled = [](auto figure) {
        return Drawn(12, 12, [&](Surface& s) {
            s.SelectPen(Pen::Null());
            s.SelectBrush(Brush::Solid({0, 0, 0}));
            figure(s);
        });
    };
    const QImage rect = filled([](Surface& s) { s.Rectangle(2, 3, 9, 8); });
    EXPECT_EQ(InkBounds(rect), (Rect{2, 3, 8, 7}));
    EXPECT_EQ(PixelsOf(rect, kBlack).size(), 6u * 4u);
    // Which pixels of its box a filled ellipse covers is the rasteriser's; it stays inside.
    const Rect ellipse = InkBounds(filled([](Surface& s) { s.Ellipse(2, 3, 11, 10); }));
    EXPECT_EQ(platform::Intersect(ellipse, Rect{2, 3, 10, 9}), ellipse);
    EXPECT_EQ(ellipse.left, 2);
    EXPECT_EQ(ellipse.right, 10);
    // A one-pixel frame with the hollow brush leaves its inside alone.
    const QImage frame = Drawn(12, 12, [](Surface& s) {
        s.SelectBrush(Brush::Hollow());
        s.Rectangle(2, 3, 9, 8);
    });
    EXPECT_EQ(PixelsOf(frame, kBlack).size(), 2u * 7 + 2u * 3);
    EXPECT_EQ(frame.pixel(5, 5), kWhite);
    EXPECT_EQ(InkBounds(Drawn(12, 12, [](Surface& s) { s.Rectangle(4, 4, 4, 9); })), (Rect{12, 12, 0, 0}));
}

TEST(Surface, FillRectCoversItsRectangleInAnyOrderAndIsNeverInverted) {
    const QImage image = Drawn(12, 12, [](Surface& s) {
        s.SetInvert(true);
        s.FillRect({8, 9, 2, 3}, {0, 0, 0});
    });
    EXPECT_EQ(InkBounds(image), (Rect{2, 3, 8, 9}));
    EXPECT_EQ(PixelsOf(image, kBlack).size(), 36u);
}

TEST(Surface, InvertingModeInvertsEveryOutlinePixelOnceAndTwiceRestores) {
    QImage original = platform::MakeImage(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) original.setPixel(x, y, qRgb(x * 16, y * 16, 77));
    QImage image = original;
    const auto band = [&] {
        Surface s(image);
        s.SelectBrush(Brush::Hollow());
        s.SelectPen({platform::kPenSolid, 0, {0, 0, 0}});
        s.SetInvert(true);
        s.Rectangle(12, 11, 3, 2);  // dragged up and to the left
    };
    band();
    int inverted = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool onOutline = (x >= 3 && x <= 11 && (y == 2 || y == 10)) || (y >= 2 && y <= 10 && (x == 3 || x == 11));
            const QRgb expected = onOutline ? (~original.pixel(x, y) | 0xff000000) : original.pixel(x, y);
            EXPECT_EQ(image.pixel(x, y), expected) << x << "," << y;
            inverted += onOutline ? 1 : 0;
        }
    EXPECT_EQ(inverted, 32);
    band();
    EXPECT_EQ(image, original);
}

TEST(Surface, FontHeightFollowsThePointSizeRule) {
    EXPECT_EQ(platform::PointFont("Arial", 8, platform::kDefaultCharset, 96).height, -10);
    EXPECT_EQ(platform::PointFont("Arial", 10, platform::kDefaultCharset, 96).height, -13);
    EXPECT_EQ(platform::PointFont("Arial", 8, platform::kDefaultCharset, 120).height, -13);
    const platform::FontDescription f = platform::PointFont(std::string(40, 'a'), 8, platform::kCyrillicCharset, 96);
    EXPECT_EQ(f.faceName.size(), platform::kFaceNameMax);
    EXPECT_EQ(f.charSet, platform::kCyrillicCharset);
    EXPECT_EQ(f.weight, 0);
    EXPECT_EQ(platform::ScreenDpiY(), 96);  // the offscreen platform
}

TEST(Surface, FontMetricsHaveArialsProportions) {
    QImage image = platform::MakeImage(10, 10);
    Surface s(image);
    s.SelectFont(platform::PointFont("Arial", 8, platform::kDefaultCharset, 96));
    const platform::TextMetrics m = s.GetTextMetrics();
    EXPECT_EQ(m.height, 11);
    EXPECT_EQ(m.ascent, 9);
    EXPECT_EQ(m.descent, 2);
    EXPECT_EQ(m.averageCharWidth, 4);  // Arial's declared average at 10 pixels (904/2048 em)
    EXPECT_EQ(s.GetTextExtent("0.25").cy, 11);
    EXPECT_GT(s.GetTextExtent("-0.0005").cx, s.GetTextExtent("0.5").cx);
    EXPECT_EQ(s.GetTextExtent("").cx, 0);
    // A positive height is the cell height.
    platform::FontDescription cell;
    cell.height = 15;
    cell.faceName = "Arial";
    s.SelectFont(cell);
    EXPECT_EQ(s.GetTextMetrics().height, 15);
}

TEST(Surface, TextIsPlacedByItsAlignmentAndTurnedByEscapement) {
    platform::FontDescription font = platform::PointFont("Arial", 10, platform::kCyrillicCharset, 96);
    const auto text = [&](int align, int escapement) {
        font.escapement = escapement;
        return InkBounds(Drawn(200, 200, [&](Surface& s) {
            s.SelectFont(font);
            s.SetTransparentBackground(true);
            s.SetTextAlign(align);
            s.TextOut(100, 100, "Количество");
        }));
    };
    const Rect rightBottom = text(platform::kAlignRight | platform::kAlignBottom, 0);
    EXPECT_LE(rightBottom.right, 100);
    EXPECT_LE(rightBottom.bottom, 100);
    EXPECT_GT(rightBottom.Width(), 3 * rightBottom.Height());

    const Rect centreTop = text(platform::kAlignCenter | platform::kAlignTop, 0);
    EXPECT_GE(centreTop.top, 100);
    EXPECT_LT(centreTop.left, 100);
    EXPECT_GT(centreTop.right, 100);
    EXPECT_LE(std::abs((centreTop.left + centreTop.right) / 2 - 100), 2);

    const Rect baseline = text(platform::kAlignLeft | platform::kAlignBaseline, 0);
    EXPECT_GE(baseline.left, 100);
    EXPECT_LT(baseline.top, 100);
    EXPECT_LE(baseline.bottom, 101);  // Cyrillic lower case has no descenders but "у"

    // Reading upwards, aligned by its right end and top: it hangs down from the point, to the right.
    const Rect upwards = text(platform::kAlignRight | platform::kAlignTop, 900);
    EXPECT_GE(upwards.left, 100);
    EXPECT_GE(upwards.top, 100);
    EXPECT_GT(upwards.Height(), 3 * upwards.Width());
    EXPECT_NEAR(upwards.Height(), rightBottom.Width(), 2);
}

TEST(Surface, OpaqueTextBackgroundFillsTheTextCell) {
    const QImage image = Drawn(100, 40, [](Surface& s) {
        s.SelectFont(platform::PointFont("Arial", 8, platform::kDefaultCharset, 96));
        s.SetBackgroundColor({0, 255, 0});
        s.TextOut(10, 10, "ab");
    });
    const PixelSet green = PixelsOf(image, qRgb(0, 255, 0));
    EXPECT_FALSE(green.empty());
    EXPECT_TRUE(green.count({10, 10}));
    EXPECT_FALSE(green.count({10, 21}));  // the cell is 11 rows high
}

TEST(Surface, OffscreenImageIsCopiedInOneOperation) {
    QImage target = platform::MakeImage(30, 30);
    Surface s(target);
    QImage offscreen = s.CreateCompatibleImage(10, 8);
    EXPECT_EQ(offscreen.size(), QSize(10, 8));
    EXPECT_EQ(offscreen.logicalDpiY(), target.logicalDpiY());
    {
        Surface o(offscreen);
        o.FillRect({0, 0, 10, 8}, {0, 0, 0});
    }
    s.MoveTo(0, 0);
    s.LineTo(29, 0);  // held back until the next operation, which draws it first
    s.DrawImage(5, 6, offscreen);
    s.Flush();
    EXPECT_EQ(InkBounds(target), (Rect{0, 0, 29, 14}));
    EXPECT_EQ(PixelsOf(target, kBlack).size(), 80u + 29u);
}

TEST(Surface, EmptyImageIsMeasuredButNotPainted) {
    QImage empty;
    Surface s(empty);
    s.MoveTo(0, 0);
    s.LineTo(5, 5);
    s.Rectangle(0, 0, 4, 4);
    s.TextOut(0, 0, "x");
    EXPECT_GT(s.GetTextMetrics().height, 0);
}

// On its own 32-bit image the surface writes solid fills straight into the pixels; through a
// lent painter it fills with the painter. Both give the same pixels, in both image formats, for
// fills, frames, upright and level lines and chains, partly or wholly outside the image.
TEST(Surface, FillsItsOwnImageDirectlyWithThePaintersPixels) {
    const auto figures = [](Surface& s) {
        s.SelectPen({platform::kPenSolid, 0, {200, 10, 30}});
        s.MoveTo(3, -5);  // upright, beginning above the image
        s.LineTo(3, 12);
        s.LineTo(25, 12);  // level
        s.LineTo(27, 20);  // slanted: drawn by the painter
        s.LineTo(27, 40);  // leaving the image at the bottom
        s.MoveTo(-4, 7);
        s.LineTo(8, 7);
        s.FillRect({10, 2, 14, 9}, {0, 128, 0});
        s.FillRect({28, 25, 40, 40}, {1, 2, 3});  // over the right and bottom edges
        s.FillRect({-10, -10, -2, -2}, {9, 9, 9});  // wholly outside
        s.SelectBrush(Brush::Solid({250, 240, 0}));
        s.Rectangle(15, 14, 24, 22);  // frame and fill
        s.SelectPen(Pen::Null());
        s.Rectangle(5, 20, 12, 29);  // fill only
    };
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
        QImage direct(32, 26, format);
        direct.fill(Qt::white);
        QImage painted = direct;
        painted.detach();
        {
            Surface s(direct);
            figures(s);
        }
        {
            QPainter painter(&painted);
            Surface s(painter);
            figures(s);
        }
        EXPECT_EQ(direct, painted) << "format " << format;
        EXPECT_NE(direct.pixel(3, 0), kWhite);
        EXPECT_EQ(direct.pixel(31, 25), qRgb(1, 2, 3));
    }
}

}  // namespace

namespace {

// Each pixel of `image` as a ratio-by-ratio block.
QImage Blocks(const QImage& image, int ratio) {
    return image.scaled(image.size() * ratio, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}  // namespace

// On an image for a high-density screen (device pixel ratio 2) the rules hold in logical pixels:
// straight lines, chains, pen widths, rectangles, fills and the inverted outline cover exactly
// the blocks of the pixels they cover at ratio 1; slanted lines and ellipses keep their logical
// extent and are drawn at the finer resolution.
TEST(Surface, AtDevicePixelRatioTwoThePixelRulesHoldInLogicalPixels) {
    const auto figures = [](Surface& s) {
        s.MoveTo(2, 3);
        s.LineTo(12, 3);  // a chain: both joints drawn, the last end left out
        s.LineTo(12, 9);
        s.LineTo(5, 9);
        s.MoveTo(20, 1);
        s.LineTo(20, 2);  // one pixel long: its start only
        const int styles[] = {platform::kPenDash, platform::kPenDot, platform::kPenDashDot, platform::kPenDashDotDot};
        for (int i = 0; i < 4; ++i) {
            s.SelectPen({styles[i], 0, {0, 0, 255}});
            s.MoveTo(1, 12 + 2 * i);
            s.LineTo(39, 12 + 2 * i);
        }
        s.SelectPen({platform::kPenSolid, 0, {0, 0, 0}});
        s.SelectBrush(Brush::Solid({200, 0, 0}));
        s.Rectangle(24, 2, 34, 10);
        s.SelectPen(Pen::Null());
        s.Rectangle(2, 22, 9, 28);  // one pixel smaller at the right and bottom
        s.FillRect({11, 24, 14, 29}, {0, 0, 200});
        s.SelectBrush(Brush::Hollow());
        s.SelectPen({platform::kPenSolid, 0, {0, 0, 0}});
        s.SetInvert(true);
        s.Rectangle(20, 24, 36, 29);
    };
    const auto draw = [&](double ratio) {
        QImage image = platform::MakeImage(40, 30, ratio);
        Surface s(image);
        EXPECT_EQ(s.Width(), 40) << "the surface measures in logical pixels";
        EXPECT_EQ(s.Height(), 30);
        figures(s);
        return image;
    };
    const QImage single = draw(1);
    const QImage doubled = draw(2);
    ASSERT_EQ(doubled.size(), QSize(80, 60));
    EXPECT_EQ(doubled.devicePixelRatio(), 2);
    EXPECT_EQ(single.devicePixelRatio(), 1);
    EXPECT_TRUE(doubled.convertToFormat(QImage::Format_RGB32) == Blocks(single, 2).convertToFormat(QImage::Format_RGB32));

    // A slanted line, a wide pen's round ends and an ellipse: the same logical box, drawn with
    // device pixels.
    const auto slanted = [](Surface& s) {
        s.MoveTo(1, 1);
        s.LineTo(15, 6);
        s.SelectPen({platform::kPenSolid, 3, {0, 0, 0}});
        s.MoveTo(5, 3);
        s.LineTo(12, 3);
        s.SelectPen({platform::kPenSolid, 0, {0, 0, 0}});
        s.SelectBrush(Brush::Hollow());
        s.Ellipse(3, 9, 17, 19);
    };
    QImage fine = platform::MakeImage(20, 20, 2);
    {
        Surface s(fine);
        slanted(s);
    }
    const QImage coarse = Drawn(20, 20, slanted);
    const Rect box = InkBounds(coarse);
    const Rect fineBox = InkBounds(fine);
    EXPECT_EQ(fineBox, (Rect{box.left * 2, box.top * 2, box.right * 2, box.bottom * 2}));
    EXPECT_FALSE(fine == Blocks(coarse, 2)) << "drawn at the device's resolution, not scaled up";
}

// A page of a document lends its painter: the surface draws in the painter's coordinates by the
// same pixel rules, and hands the painter back as it found it, still active.
TEST(Surface, OnALentPainterDrawsInItsCoordinatesAndRestoresItsState) {
    QImage own = platform::MakeImage(40, 30);
    {
        Surface surface(own);
        surface.MoveTo(2, 3);
        surface.LineTo(12, 3);
        surface.Rectangle(5, 8, 15, 20);
    }
    QImage lent = platform::MakeImage(60, 50);
    QPainter painter(&lent);
    const QPen pen(Qt::green);
    painter.setPen(pen);
    painter.translate(10, 15);
    {
        Surface surface(painter);
        surface.MoveTo(2, 3);
        surface.LineTo(12, 3);
        surface.Rectangle(5, 8, 15, 20);
    }
    EXPECT_TRUE(painter.isActive());
    EXPECT_EQ(painter.pen(), pen);
    EXPECT_EQ(painter.transform(), QTransform::fromTranslate(10, 15));
    painter.end();
    PixelSet shifted;
    for (const auto& [x, y] : PixelsOf(own, kBlack)) shifted.insert({x + 10, y + 15});
    EXPECT_EQ(PixelsOf(lent, kBlack), shifted);
}
