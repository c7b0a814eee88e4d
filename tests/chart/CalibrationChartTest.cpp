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

struct Calibration {
    std::vector<float> pointsX{1, 2, 3, 4}, pointsY{0.48f, 1.05f, 1.46f, 2.02f}, lineX, lineY;
    Calibration() {
        // The line as the calibration makes it: twenty points from half the smallest to 1.2 times the largest abscissa.
        for (double x = 0.5; 4.8 > x; x += (4.8 - 0.5) / 20) {
            lineX.push_back(static_cast<float>(x));
            lineY.push_back(static_cast<float>(x * 0.5));
        }
    }
    QImage Render(int w = 560, int h = 300) const { return RenderCalibrationChart(pointsX, pointsY, lineX, lineY, w, h); }
};

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
    EXPECT_GT(CountOf(image, kRed), 300);
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
