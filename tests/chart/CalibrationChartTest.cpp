#include "chart/CalibrationChart.h"

#include "ChartTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace charttest;

namespace {

// Centres of complete blue diagonal crosses of half size 4.
std::vector<QPoint> CrossCentres(const QImage& image) {
    std::vector<QPoint> centres;
    for (int y = 4; y < image.height() - 4; ++y)
        for (int x = 4; x < image.width() - 4; ++x) {
            bool cross = true;
            for (int k = -4; k <= 4 && cross; ++k)
                cross = Is(image, x + k, y + k, kBlue) && Is(image, x + k, y - k, kBlue);
            if (cross) centres.push_back({x, y});
        }
    return centres;
}

// Four points and a line of twenty, from half the smallest to 1.2 times the largest abscissa at
// a coefficient of 0.5, as the calibration hands them to the chart.
struct Calibration {
    std::vector<float> pointsX{1, 2, 3, 4}, pointsY{0.48f, 1.05f, 1.46f, 2.02f};
    std::vector<float> lineX{0.5f,   0.715f, 0.93f,  1.145f, 1.36f,  1.575f, 1.79f,  2.005f, 2.22f,  2.435f,
                             2.65f,  2.865f, 3.08f,  3.295f, 3.51f,  3.725f, 3.94f,  4.155f, 4.37f,  4.585f};
    std::vector<float> lineY{0.25f,   0.3575f, 0.465f,  0.5725f, 0.68f,   0.7875f, 0.895f,  1.0025f, 1.11f,   1.2175f,
                             1.325f,  1.4325f, 1.54f,   1.6475f, 1.755f,  1.8625f, 1.97f,   2.0775f, 2.185f,  2.2925f};
    QImage Render(int w = 560, int h = 300) const { return RenderCalibrationChart(pointsX, pointsY, lineX, lineY, w, h); }
};

// The pixels of the red line where the chart's own mapping puts its points: the segments drawn
// one after another by the surface, on white.
QImage ExpectedLine(const Calibration& c, int w, int h) {
    CAutoChart chart;
    ConfigureCalibrationChart(chart);
    chart.GetSeries(kCalibrationLineSeries).SetData(c.lineX.data(), c.lineY.data(), static_cast<int>(c.lineX.size()));
    chart.GetSeries(kCalibrationPointSeries).SetData(c.pointsX.data(), c.pointsY.data(), static_cast<int>(c.pointsX.size()));
    Drawn(w, h, [&](platform::Surface& surface) { chart.Draw(surface, {0, 0, w, h}); });  // lays the chart out
    return Drawn(w, h, [&](platform::Surface& surface) {
        surface.SelectPen({platform::kPenSolid, 0, kRed});
        surface.MoveTo(chart.XToPixel(c.lineX[0]), chart.YToPixel(c.lineY[0]));
        for (std::size_t i = 1; i < c.lineX.size(); ++i) surface.LineTo(chart.XToPixel(c.lineX[i]), chart.YToPixel(c.lineY[i]));
    });
}

TEST(CalibrationChart, ConfiguresTheChartAsTheMainDialogDoes) {
    CAutoChart chart;
    ConfigureCalibrationChart(chart);
    EXPECT_EQ(chart.axisStyle, kClosedFrame);
    EXPECT_EQ(chart.titleColor, kBlue);
    EXPECT_EQ(chart.titleFont.faceName, "Arial");
    EXPECT_EQ(chart.titleFont.height, -10);
    EXPECT_EQ(chart.titleFont.charSet, platform::kCyrillicCharset);
    EXPECT_EQ(chart.titleFont.weight, 0);
    ASSERT_EQ(chart.GetSeriesCount(), 2);
    const CAutoSeries& line = chart.GetSeries(kCalibrationLineSeries);
    EXPECT_EQ(line.color, kRed);
    EXPECT_EQ(line.lineType, kLineStraight);
    EXPECT_EQ(line.marker, kMarkerNone);
    const CAutoSeries& points = chart.GetSeries(kCalibrationPointSeries);
    EXPECT_EQ(points.color, kBlue);
    EXPECT_EQ(points.lineType, kLineNone);
    EXPECT_EQ(points.marker, kMarkerDiagonalCross);
    EXPECT_EQ(chart.xTitle, "Отклик детектора");
    EXPECT_EQ(chart.yTitle, "Количество");
}

TEST(CalibrationChart, RendersFourCrossesTheRedLineAndBlueTitles) {
    const QImage image = Calibration().Render();
    ASSERT_EQ(image.size(), QSize(560, 300));
    EXPECT_EQ(CrossCentres(image).size(), 4u);
    // Every pixel of the line is red, unless a cross lies over it, and nothing else is.
    const QImage line = ExpectedLine(Calibration(), 560, 300);
    int linePixels = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 560; ++x) {
            const bool expected = Is(line, x, y, kRed);
            linePixels += expected ? 1 : 0;
            if (expected)
                EXPECT_TRUE(Is(image, x, y, kRed) || Is(image, x, y, kBlue)) << x << ", " << y;
            else
                EXPECT_FALSE(Is(image, x, y, kRed)) << x << ", " << y;
        }
    EXPECT_GT(linePixels, 300);
    EXPECT_GT(CountBluish(image, {300, 280, 560, 300}), 50);  // x title, bottom right
    EXPECT_GT(CountBluish(image, {0, 0, 16, 100}), 50);      // y title, top left
    EXPECT_TRUE(Is(image, 0, 0, kWhite));
}

// A point at the data's highest or lowest (here above the line's end, on a tick) keeps its whole
// cross inside the frame.
TEST(CalibrationChart, PointsAtTheEndsOfTheRangeAreDrawnWhole) {
    for (const std::vector<float>& y : {std::vector<float>{0.48f, 1.05f, 1.46f, 3.0f},
                                        std::vector<float>{-1.0f, 1.05f, 1.46f, 2.02f}}) {
        Calibration c;
        c.pointsY = y;
        EXPECT_EQ(CrossCentres(c.Render()).size(), 4u) << y.front() << " … " << y.back();
    }
}

TEST(CalibrationChart, FreshStartWithoutChromatogramsDrawsAnEmptyFrame) {
    // Every abscissa is 0 / 0 and the line is empty.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> x{nan, nan, nan, nan}, y{0, 0, 0, 0}, none;
    const QImage image = RenderCalibrationChart(x, y, none, none, 560, 300);
    EXPECT_TRUE(CrossCentres(image).empty());
    EXPECT_EQ(CountOf(image, kRed), 0);
    EXPECT_GT(CountOf(image, kBlack), 500);  // the frame and the ticks
}

TEST(CalibrationChart, WritesThePictureAsPng) {
    const Calibration c;
    fixtures::TempDir dir;
    const std::string path = dir.Path() + "/chart.png";
    ASSERT_TRUE(WriteCalibrationChartPng(path, c.pointsX, c.pointsY, c.lineX, c.lineY, 400, 250));
    const QImage written(QString::fromStdString(path));
    EXPECT_EQ(written.convertToFormat(QImage::Format_RGB32), c.Render(400, 250));
    EXPECT_FALSE(WriteCalibrationChartPng(dir.Path() + "/missing/chart.png", c.pointsX, c.pointsY, c.lineX, c.lineY, 400, 250));
    EXPECT_FALSE(WriteCalibrationChartPng(path, c.pointsX, c.pointsY, c.lineX, c.lineY, 0, 250));
}

}  // namespace
