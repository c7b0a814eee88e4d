#include "ChartTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

using namespace charttest;
using platform::Rect;
using platform::Surface;

namespace {

// A frame whose plot is (10, 10, 50, 40) with ranges 0..39 and 0..29: the value (x, y) lies at
// pixel (10 + x, 39 - y).
class FrameLines : public ::testing::Test {
protected:
    QImage image_ = platform::MakeImage(60, 50);
    std::unique_ptr<Surface> surface_ = std::make_unique<Surface>(image_);
    CAutoFrame frame_;

    void SetUp() override {
        frame_.surface = surface_.get();
        frame_.rect = {10, 10, 50, 40};
        frame_.xMin = 0;
        frame_.xMax = 39;
        frame_.yMin = 0;
        frame_.yMax = 29;
    }
    const QImage& Finished() {
        surface_.reset();
        return image_;
    }
};

TEST_F(FrameLines, LineLeavingThePlotEndsOnItsBoundary) {
    frame_.MoveToValue(20, 15);   // (30, 24)
    frame_.LineToValue(60, 15);   // (70, 24): cut at column 49, whose pixel is the line's end
    EXPECT_EQ(frame_.penPos, (platform::Point{70, 24}));
    EXPECT_FALSE(frame_.penInside);
    frame_.MoveToValue(10, 9);    // (20, 30)
    frame_.LineToValue(30, -11);  // (40, 50): cut at row 39 in (29, 39)
    const QImage& image = Finished();
    EXPECT_EQ(CountOf(image, kBlack, {30, 24, 49, 25}), 19);
    EXPECT_EQ(CountOf(image, kBlack, {49, 0, 60, 50}), 0);
    for (int i = 0; i < 9; ++i) EXPECT_TRUE(Is(image, 20 + i, 30 + i, kBlack)) << i;
    EXPECT_EQ(CountOf(image, kBlack, {0, 39, 60, 50}), 0);
    EXPECT_EQ(CountOf(image, kBlack), 19 + 9);
}

TEST_F(FrameLines, LineEnteringThePlotStartsOnItsBoundary) {
    frame_.MoveToValue(60, 15);  // (70, 24)
    frame_.LineToValue(20, 15);  // starts at (49, 24)
    frame_.LineToValue(20, 5);   // (30, 34), from where the last line ended
    const QImage& image = Finished();
    EXPECT_TRUE(Is(image, 49, 24, kBlack));
    EXPECT_EQ(CountOf(image, kBlack, {30, 24, 50, 25}), 20);
    EXPECT_EQ(CountOf(image, kBlack, {30, 25, 31, 34}), 9);
    EXPECT_EQ(CountOf(image, kBlack), 29);
}

TEST_F(FrameLines, SegmentWithBothEndsOutsideIsNotDrawnEvenAcrossThePlot) {
    frame_.MoveToValue(-5, 15);
    frame_.LineToValue(60, 15);
    frame_.LineToValue(60, -20);
    EXPECT_EQ(CountOf(Finished(), kBlack), 0);
}

TEST_F(FrameLines, PointsOnOnePixelDrawNothingAndKeepThePenWhereItWas) {
    frame_.MoveToValue(20, 15);
    frame_.LineToValue(20.2, 15.2);
    EXPECT_EQ(frame_.penPos, (platform::Point{30, 24}));
    EXPECT_EQ(CountOf(Finished(), kBlack), 0);
}

TEST_F(FrameLines, PointWithoutPixelLeavesOutOnlyItsOwnSegments) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    frame_.MoveToValue(0, 0);
    frame_.LineToValue(nan, 5);
    frame_.LineToValue(10, 5);
    frame_.LineToValue(20, 5);   // (20, 34) to (30, 34)
    frame_.LineToValue(1e300, 5);
    frame_.LineToValue(-1e300, -1e300);
    const QImage& image = Finished();
    EXPECT_EQ(CountOf(image, kBlack, {20, 34, 30, 35}), 10);
    EXPECT_EQ(CountOf(image, kBlack), 10);
}

// A series drawn on its own into the plot (0, 0, 101, 101) with ranges 0..100: the value (x, y)
// lies at pixel (x, 100 - y).
class SeriesDrawing : public ::testing::Test {
protected:
    CAutoSeries series_;
    std::vector<float> xs_, ys_;

    void SetData(std::vector<float> xs, std::vector<float> ys) {
        xs_ = std::move(xs);
        ys_ = std::move(ys);
        series_.SetData(xs_.data(), ys_.data(), static_cast<int>(xs_.size()));
    }
    QImage Draw(Rect plot = {0, 0, 101, 101}, double xMax = 100, double yMax = 100) {
        series_.SetXRange(0, xMax);
        series_.SetYRange(0, yMax);
        return Drawn(plot.right, plot.bottom, [&](Surface& s) { series_.Draw(s, plot); });
    }
};

TEST_F(SeriesDrawing, MarkersOfEveryKind) {
    SetData({50}, {50});
    series_.SetLineType(kLineNone);
    struct Case {
        int marker;
        int pixels;
        Rect bounds;
    };
    const Case cases[] = {
        {kMarkerDiagonalCross, 17, {46, 46, 55, 55}},
        {kMarkerUprightCross, 17, {46, 46, 55, 55}},
        {kMarkerSquare, 32, {46, 46, 55, 55}},
        {kMarkerCircle, -1, {46, 46, 55, 55}},
        {kMarkerNone, 0, {}},
    };
    for (const Case& c : cases) {
        series_.SetMarker(c.marker);
        const QImage image = Draw();
        const int total = CountOf(image, kBlack);
        if (c.pixels >= 0) {
            EXPECT_EQ(total, c.pixels) << c.marker;
        }
        EXPECT_EQ(CountOf(image, kBlack, c.bounds), total) << c.marker;
        if (c.marker != kMarkerNone) {
            EXPECT_GT(CountOf(image, kBlack, {46, 46, 47, 55}), 0) << c.marker;  // reaches both sides
            EXPECT_GT(CountOf(image, kBlack, {54, 46, 55, 55}), 0) << c.marker;
        }
    }
}

TEST_F(SeriesDrawing, ArrowPointsToThePartnerWithAHeadWhenFarEnough) {
    CAutoSeries partner;
    const float px[] = {50, 20}, py[] = {90, 40};
    partner.SetData(px, py, 2);
    SetData({50, 80}, {50, 50});
    series_.SetLineType(kLineNone);
    series_.SetMarker(kMarkerArrow);
    series_.link = &partner;
    const QImage image = Draw();
    // Point 0 at (50, 50), partner (50, 10) 40 rows above: shaft from (50, 46) and a head.
    EXPECT_EQ(CountOf(image, kBlack, {50, 11, 51, 46}), 35);
    EXPECT_TRUE(Is(image, 50, 10, kBlack));
    EXPECT_GT(CountOf(image, kBlack, {48, 10, 50, 23}), 0);
    EXPECT_GT(CountOf(image, kBlack, {51, 10, 53, 23}), 0);
    // Point 1 at (80, 50), partner (20, 60) 10 rows below: a shaft, no head (10 < 16).
    EXPECT_TRUE(Is(image, 75, 54, kBlack) || Is(image, 74, 54, kBlack));
    EXPECT_EQ(CountOf(image, kBlack, {17, 45, 24, 58}), 0);
}

TEST_F(SeriesDrawing, BandsFillTheirClassColoursAndOverlapsOverThePlotHeight) {
    const int classes[] = {0, 1, 7, 0};
    SetData({1, 2, -5, 11}, {3, 4, 1.5f, 12});
    series_.SetMarker(kMarkerBands);
    series_.SetLineType(kLineNone);
    series_.classes = classes;
    const QImage image = Draw({0, 0, 101, 51}, 10, 10);  // ten pixels per unit of x
    const platform::Rgb class0{234, 255, 255}, class1{255, 255, 234}, other{234, 234, 234}, overlap{255, 234, 234};
    struct Column {
        int x;
        platform::Rgb color;
    };
    const Column columns[] = {
        {5, other},  {12, overlap}, {15, class0}, {25, overlap}, {28, overlap},
        {29, class1}, {35, class1}, {38, class1}, {39, kWhite},   {100, kWhite},
    };
    for (const Column& c : columns) {
        EXPECT_TRUE(Is(image, c.x, 0, c.color)) << c.x;
        EXPECT_TRUE(Is(image, c.x, 50, c.color)) << c.x;
    }
}

TEST_F(SeriesDrawing, LinesStayInsideThePlot) {
    SetData({-50, 20, 60, 300, 80, 40}, {50, 150, 30, 30, -200, 60});
    const Rect plot{20, 20, 81, 81};
    const QImage image = Draw(plot);
    EXPECT_GT(CountOf(image, kBlack), 40);
    EXPECT_EQ(CountOf(image, kBlack, plot), CountOf(image, kBlack));
}

TEST_F(SeriesDrawing, SmoothCurveOverIncreasingXIsAFunctionOfX) {
    SetData({1, 2, 3, 4}, {1, 8, 27, 64});
    series_.SetLineType(kLineSmooth);
    // x 1..4 over 301 columns, y 0..64 over 641 rows: at x = 2.5 (column 150) the curve of the
    // middle interval is at 14.875 (row 491); the parametric form would give 15.625 (row 484),
    // the chord 17.5 (row 465).
    series_.SetXRange(1, 4);
    series_.SetYRange(0, 64);
    const QImage image = Drawn(301, 641, [&](Surface& s) { series_.Draw(s, {0, 0, 301, 641}); });
    EXPECT_GT(CountOf(image, kBlack, {150, 489, 151, 494}), 0);
    EXPECT_EQ(CountOf(image, kBlack, {150, 0, 151, 489}), 0);
    EXPECT_EQ(CountOf(image, kBlack, {150, 494, 151, 641}), 0);
    EXPECT_TRUE(Is(image, 0, 630, kBlack));  // starts at the first point (1, 1)
}

TEST_F(SeriesDrawing, SmoothCurveWhoseXStandsStillIsParametric) {
    SetData({1, 1, 2, 3}, {0, 10, 20, 30});
    series_.SetLineType(kLineSmooth);
    series_.SetXRange(0, 3);
    series_.SetYRange(0, 30);
    const QImage image = Drawn(301, 301, [&](Surface& s) { series_.Draw(s, {0, 0, 301, 301}); });
    // Between the first two points the curve bows left of x = 1 (column 100); as a function of
    // x that interval could not be drawn at all.
    EXPECT_GT(CountOf(image, kBlack, {80, 200, 99, 301}), 5);
    EXPECT_TRUE(Is(image, 300, 0, kBlack) || Is(image, 299, 1, kBlack));
}

TEST_F(SeriesDrawing, SmoothLineOfThreePointsIsDrawnStraight) {
    SetData({10, 50, 90}, {10, 90, 10});
    series_.SetLineType(kLineSmooth);
    const QImage image = Draw();
    EXPECT_TRUE(Is(image, 30, 50, kBlack));
    EXPECT_TRUE(Is(image, 70, 50, kBlack));
    EXPECT_GT(CountOf(image, kBlack), 150);
}

// A chart of one or more series drawn into a white image; the chart keeps its plot rectangle
// and ranges, so expected pixels come from its own mapping.
class ChartDrawing : public ::testing::Test {
protected:
    CAutoChart chart_;
    std::vector<std::vector<float>> data_;

    CAutoSeries& AddSeries(std::vector<float> xs, std::vector<float> ys) {
        data_.push_back(std::move(xs));
        data_.push_back(std::move(ys));
        const auto& x = data_[data_.size() - 2];
        const auto& y = data_.back();
        CAutoSeries& s = chart_.GetSeries(chart_.AddSeries());
        s.SetData(x.data(), y.data(), static_cast<int>(x.size()));
        return s;
    }
    QImage Draw(int w = 560, int h = 300) {
        return Drawn(w, h, [&](Surface& s) { chart_.Draw(s, {0, 0, w, h}); });
    }
    platform::Point PixelOf(double x, double y) const { return {chart_.XToPixel(x), chart_.YToPixel(y)}; }
};

// The 17 pixels of a diagonal cross of half size 4 around p, and nothing else in its 11 x 11
// neighbourhood.
void ExpectCross(const QImage& image, platform::Point p, platform::Rgb color) {
    for (int k = -4; k <= 4; ++k) {
        EXPECT_TRUE(Is(image, p.x + k, p.y + k, color)) << p.x << "," << p.y << " " << k;
        EXPECT_TRUE(Is(image, p.x + k, p.y - k, color)) << p.x << "," << p.y << " " << k;
    }
    EXPECT_EQ(CountOf(image, color, {p.x - 5, p.y - 5, p.x + 6, p.y + 6}), 17) << p.x << "," << p.y;
}

TEST_F(ChartDrawing, CalibrationPointsDrawNineByNineCrosses) {
    CAutoSeries& points = AddSeries({1, 2, 3, 4}, {0.5f, 1.1f, 1.4f, 2.1f});
    points.SetColor(kBlue);
    points.SetLineType(kLineNone);
    points.SetMarker(kMarkerDiagonalCross);
    const QImage image = Draw();
    for (int i = 0; i < 4; ++i) ExpectCross(image, PixelOf(data_[0][i], data_[1][i]), kBlue);
    EXPECT_EQ(CountOf(image, kBlue), 4 * 17);
}

TEST_F(ChartDrawing, PointOnThePlotsLastColumnKeepsItsCrossAndOnePastItHasNone) {
    CAutoSeries& points = AddSeries({4, 4.5f}, {1.5f, 1.5f});
    points.SetColor(kBlue);
    points.SetLineType(kLineNone);
    points.SetMarker(kMarkerDiagonalCross);
    chart_.SetXRange(0, 4);
    chart_.SetYRange(0, 3);
    const QImage image = Draw();
    const platform::Point p = PixelOf(4, 1.5);
    EXPECT_EQ(p.x, chart_.rect.right - 1);
    ExpectCross(image, p, kBlue);  // reaches four columns into the margin
    EXPECT_EQ(CountOf(image, kBlue), 17);
}

TEST_F(ChartDrawing, LineOfAZoomedViewStaysInsideThePlot) {
    CAutoSeries& line = AddSeries({-10, 1, 3, 50, 2, 2.5f, -40}, {0, 1, -3, 2, 40, 1.5f, 1});
    line.SetColor(kRed);
    chart_.SetXRange(0, 4);
    chart_.SetYRange(0, 3);
    const QImage image = Draw();
    const Rect plot = chart_.rect;
    EXPECT_GT(CountOf(image, kRed), 100);
    EXPECT_EQ(CountOf(image, kRed, plot), CountOf(image, kRed));
}

TEST_F(ChartDrawing, GridIsDrawnAgainOverBands) {
    const int classes[] = {0};
    CAutoSeries& bands = AddSeries({0.2f}, {0.8f});
    bands.SetMarker(kMarkerBands);
    bands.SetLineType(kLineNone);
    bands.classes = classes;
    chart_.SetXRange(0, 1);
    chart_.SetYRange(0, 1);
    chart_.SetAxisStyle(kVerticalGrid | kHorizontalGrid);
    const QImage image = Draw();
    const int middleRow = (chart_.rect.top + chart_.rect.bottom) / 2 + 3;
    const int tickColumn = chart_.XToPixel(0.5);
    EXPECT_TRUE(Is(image, tickColumn, middleRow, chart_.gridColor));
    EXPECT_TRUE(Is(image, tickColumn + 2, middleRow, {234, 255, 255}));
}

TEST_F(ChartDrawing, FrameTicksAndGridFollowTheAxisStyle) {
    AddSeries({0, 10}, {0, 10}).SetLineType(kLineNone);
    struct Case {
        int style;
        bool closed, topTicks, verticalGrid, horizontalGrid;
    };
    const Case cases[] = {
        {0, false, false, false, false},
        {kClosedFrame, true, false, false, false},
        {kTicksAllSides, true, true, false, false},
        {kVerticalGrid | kHorizontalGrid, false, false, true, true},
        {kTicksAllSides | kVerticalGrid, true, true, true, false},
    };
    for (const Case& c : cases) {
        chart_.SetAxisStyle(c.style);
        const QImage image = Draw();
        const int L = chart_.rect.left, T = chart_.rect.top, R = chart_.rect.right, B = chart_.rect.bottom;
        const int p = chart_.XToPixel(5), q = chart_.YToPixel(5);
        EXPECT_TRUE(Is(image, L - 1, T - 1, kBlack)) << c.style;
        EXPECT_TRUE(Is(image, L - 1, (T + B) / 2, kBlack)) << c.style;
        EXPECT_TRUE(Is(image, (L + R) / 2, B, kBlack)) << c.style;
        EXPECT_EQ(Is(image, R, B, kBlack), c.closed) << c.style;
        EXPECT_EQ(Is(image, R, (T + B) / 2, kBlack), c.closed) << c.style;
        EXPECT_EQ(Is(image, (L + R) / 2, T - 1, kBlack), c.closed) << c.style;
        // The tick mark at x = 5: from B - tickLong to B + tickShort, and at the top with flag 4.
        EXPECT_TRUE(Is(image, p, B - chart_.tickLong, kBlack)) << c.style;
        EXPECT_TRUE(Is(image, p, B + chart_.tickShort, kBlack)) << c.style;
        EXPECT_EQ(Is(image, p, T + chart_.tickLong - 1, kBlack), c.topTicks) << c.style;
        EXPECT_TRUE(Is(image, L - 1 - chart_.tickShort, q, kBlack)) << c.style;
        EXPECT_EQ(Is(image, p, (T + B) / 2 + 1, chart_.gridColor), c.verticalGrid) << c.style;
        EXPECT_EQ(Is(image, (L + R) / 2 + 1, q, chart_.gridColor), c.horizontalGrid) << c.style;
    }
}

TEST_F(ChartDrawing, TitlesTakeTheirRoomAndAnEmptyTitleNone) {
    AddSeries({0, 10}, {0, 10});
    const int h = 300;
    Draw(560, h);
    // No titles: below the fixed margins (label gap, short tick, one pixel and the label
    // height: 15 pixels) lie only the title margin and the title gap.
    const int bare = chart_.rect.bottom;
    EXPECT_EQ(bare, h - chart_.titleMargin - chart_.titleGap - 15);
    const int bareLeft = chart_.rect.left;

    chart_.SetTitles("Отклик детектора", "");
    const QImage withX = Draw(560, h);
    QImage probe = platform::MakeImage(1, 1);
    Surface s(probe);
    s.SelectFont(chart_.titleFont);
    const int titleHeight = s.GetTextExtent("Отклик детектора").cy;
    EXPECT_EQ(chart_.rect.bottom, bare - titleHeight);
    EXPECT_EQ(chart_.rect.left, bareLeft);
    EXPECT_GT(CountBluish(withX, {280, h - titleHeight - 2, 560, h}), 50);  // right-aligned at the bottom
    EXPECT_EQ(chart_.titleFont.escapement, 0);

    chart_.SetTitles("", "Количество");
    const QImage withY = Draw(560, h);
    EXPECT_EQ(chart_.rect.left, bareLeft + titleHeight);
    EXPECT_GT(CountBluish(withY, {0, 0, titleHeight + 2, 150}), 50);  // reading upwards, at the top
    EXPECT_EQ(CountBluish(withY, {0, 150, 560, h}), 0);
    EXPECT_EQ(chart_.titleFont.escapement, 900);  // stays in the font
}

TEST_F(ChartDrawing, LayoutWithoutRoomDrawsNothingAndTheNextDrawingSeesNewData) {
    AddSeries({0, 1000}, {0, 1000});
    QImage image = platform::MakeImage(30, 100);
    image.fill(Qt::red);
    const QImage before = image;
    {
        Surface s(image);
        chart_.Draw(s, {0, 0, 30, 100});  // the labels of 0..1000 leave no room for the plot
    }
    EXPECT_EQ(image, before);
    EXPECT_FALSE(chart_.xRangeValid);
    data_[0] = {0, 5};
    chart_.GetSeries(0).SetData(data_[0].data(), data_[1].data(), 2);
    Draw();
    EXPECT_LT(chart_.xMax, 6);
}

TEST_F(ChartDrawing, UnbufferedDrawingDrawsTheSamePictureInPlace) {
    AddSeries({0, 3, 7}, {1, 4, 2}).SetColor(kRed);
    chart_.SetTitles("x", "y");
    const QImage buffered = Draw(300, 200);
    chart_.buffered = false;
    const QImage direct = Drawn(320, 230, [&](Surface& s) { chart_.Draw(s, {20, 30, 320, 230}); });
    EXPECT_EQ(direct.copy(20, 30, 300, 200), buffered);
}

TEST_F(ChartDrawing, InfiniteValueLeavesItsAxisWithoutTicksAndLabels) {
    AddSeries({0, 1, 2}, {1, std::numeric_limits<float>::infinity(), 2}).SetColor(kRed);
    const QImage image = Draw();
    EXPECT_EQ(chart_.yStep, 0);
    EXPECT_GT(chart_.xStep, 0);
    const Rect plot = chart_.rect;
    // Nothing black left of the frame (y labels and ticks) above the x labels' row.
    EXPECT_EQ(CountDark(image, {0, 0, plot.left - 1, plot.bottom - 10}), 0);
    EXPECT_GT(CountDark(image, {0, plot.bottom + 2, 560, 300}), 20);  // x labels are there
}

}  // namespace
