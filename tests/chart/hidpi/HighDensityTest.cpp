// The chart control on a high-density screen. This suite runs with QT_SCALE_FACTOR=2 (its main
// sets it before the application starts), so every window has a device pixel ratio of 2.
#include "chart/AutoCtrl.h"
#include "chart/CalibrationChart.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr QSize kChartSize(400, 250);  // logical pixels

// The calibration chart with four points and its line, as the dialog configures it.
void Configure(CAutoChart& chart, std::vector<float>& xs, std::vector<float>& ys) {
    ConfigureCalibrationChart(chart);
    chart.GetSeries(kCalibrationLineSeries).SetData(xs.data(), ys.data(), static_cast<int>(xs.size()));
    chart.GetSeries(kCalibrationPointSeries).SetData(xs.data(), ys.data(), static_cast<int>(xs.size()));
}

// The chart drawn onto an image of the given device pixel ratio, as the control draws it.
QImage Drawn(double ratio, std::vector<float>& xs, std::vector<float>& ys) {
    CAutoChart chart;
    Configure(chart, xs, ys);
    chart.ComputeRanges();
    QImage image = platform::MakeImage(kChartSize.width(), kChartSize.height(), ratio);
    {
        platform::Surface surface(image);
        chart.Draw(surface, {0, 0, kChartSize.width(), kChartSize.height()});
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

class HighDensityChart : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(qApp->devicePixelRatio(), 2.0) << "run with QT_SCALE_FACTOR=2";
        ctrl_.resize(kChartSize);
        Configure(ctrl_.chart, xs_, ys_);
        ctrl_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&ctrl_));
        QCoreApplication::processEvents();
    }
    void Send(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent e(type, p, ctrl_.mapToGlobal(p), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(&ctrl_, &e);
    }
    static QImage Pixels(const QPixmap& pixmap) { return pixmap.toImage().convertToFormat(QImage::Format_RGB32); }

    std::vector<float> xs_{0.5f, 1, 2, 4}, ys_{0.6f, 1.1f, 2.3f, 3.9f};
    CAutoCtrl ctrl_;
};

// The control paints the chart with two pixels of the screen to each of its own: exactly what
// the chart draws on a ratio-2 surface, not the 1x picture scaled up.
TEST_F(HighDensityChart, DrawsWithTheScreensPixels) {
    const QPixmap painted = ctrl_.grab();
    EXPECT_EQ(painted.devicePixelRatio(), 2.0);
    const QImage shown = Pixels(painted);
    ASSERT_EQ(shown.size(), kChartSize * 2);
    const QImage fine = Drawn(2, xs_, ys_);
    ASSERT_EQ(fine.size(), kChartSize * 2);
    EXPECT_TRUE(shown == fine);
    const QImage coarse = Drawn(1, xs_, ys_);
    ASSERT_EQ(coarse.size(), kChartSize) << "a ratio-1 image keeps its size";
    EXPECT_FALSE(shown == coarse.scaled(kChartSize * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

// The rubber band drawn between paints inverts logical pixels (two by two on the screen) and is
// shown by copying only its part of the canvas; drawn again, it leaves the picture as it was.
TEST_F(HighDensityChart, RubberBandInvertsLogicalPixelsAndIsErasedAgain) {
    const QPixmap before = ctrl_.grab();
    const QPoint from(100, 60), to(220, 160);
    const QRegion band(QRect(from, to));
    Send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    Send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    // Only the band's part is painted (no events are processed in between, which would paint it
    // on the window first).
    QPixmap screen = before.copy();
    ctrl_.render(&screen, from, band);  // the region's corner goes to `from`
    const QImage old = Pixels(before), banded = Pixels(screen);
    const auto inverted = [&](QPoint logical) {
        const QPoint p = logical * 2;
        for (const QPoint d : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)})
            if (banded.pixel(p + d) != (~old.pixel(p + d) | 0xff000000)) return false;
        return true;
    };
    EXPECT_TRUE(inverted(from));
    EXPECT_TRUE(inverted(QPoint(to.x() - 1, from.y())));
    EXPECT_TRUE(inverted(QPoint(from.x(), to.y() - 1)));
    EXPECT_FALSE(inverted(QPoint(to.x(), from.y()))) << "the band's right edge is its last column but one";
    const QPoint inside = (from + to);  // the middle, in screen pixels
    EXPECT_EQ(banded.pixel(inside), old.pixel(inside));

    Send(QEvent::MouseMove, to + QPoint(5, 5), Qt::NoButton, Qt::NoButton);
    EXPECT_FALSE(ctrl_.Dragging());
    ctrl_.render(&screen, from, band);
    EXPECT_TRUE(Pixels(screen) == old);
}

}  // namespace
