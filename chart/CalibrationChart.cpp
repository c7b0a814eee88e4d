#include "chart/CalibrationChart.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QString>

#include <algorithm>
#include <memory>

namespace {

constexpr platform::Rgb kRed{255, 0, 0};
constexpr platform::Rgb kBlue{0, 0, 255};
// 4 % of the data's extent beyond each end of both axes.
constexpr double kMarkerPadding = 0.04;

int PointCount(std::span<const float> a, std::span<const float> b) {
    return static_cast<int>(std::min(a.size(), b.size()));
}

// Fonts need a GUI application. A program without one (ostrel-cli) gets an offscreen one for
// the call, returned here to be gone again before the call returns; `available` tells whether
// there is one at all (a console-only application object has no fonts).
std::unique_ptr<QGuiApplication> GuiApplicationForCall(bool& available) {
    if (QCoreApplication::instance() != nullptr) {
        available = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
        return nullptr;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "ostrel-cli";
    static char* argv[] = {name, nullptr};
    available = true;
    return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

void ConfigureCalibrationChart(CAutoChart& chart) {
    chart.SetAxisStyle(kClosedFrame);
    chart.SetTitleColor(kBlue);
    chart.SetTitleFont(platform::PointFont("Arial", 8, platform::kCyrillicCharset));
    // The range ends a little beyond the data: a point at its highest or lowest keeps its whole
    // cross inside the frame.
    chart.xPadding = kMarkerPadding;
    chart.yPadding = kMarkerPadding;
    CAutoSeries& line = chart.GetSeries(chart.AddSeries());
    line.SetColor(kRed);
    line.SetLineType(kLineStraight);
    CAutoSeries& points = chart.GetSeries(chart.AddSeries());  // `line` may have moved: not used again
    points.SetColor(kBlue);
    points.SetLineType(kLineNone);
    points.SetMarker(kMarkerDiagonalCross);
    // The axis titles speak the language of the program's windows (ostrel-cli installs no
    // translation: its pictures stay Russian).
    chart.SetTitles(QCoreApplication::translate("CalibrationChart", "Отклик детектора").toStdString(),
                    QCoreApplication::translate("CalibrationChart", "Количество").toStdString());
}

QImage RenderCalibrationChart(std::span<const float> pointsX, std::span<const float> pointsY,
                              std::span<const float> lineX, std::span<const float> lineY, int width,
                              int height) {
    CAutoChart chart;
    ConfigureCalibrationChart(chart);
    chart.GetSeries(kCalibrationLineSeries).SetData(lineX.data(), lineY.data(), PointCount(lineX, lineY));
    chart.GetSeries(kCalibrationPointSeries).SetData(pointsX.data(), pointsY.data(), PointCount(pointsX, pointsY));
    QImage image = platform::MakeImage(width, height);
    if (image.isNull()) return image;
    {
        platform::Surface surface(image);
        chart.Draw(surface, {0, 0, width, height});
    }  // the surface finishes its drawing before the image leaves
    return image;
}

bool WriteCalibrationChartPng(const std::string& path, std::span<const float> pointsX,
                              std::span<const float> pointsY, std::span<const float> lineX,
                              std::span<const float> lineY, int width, int height) {
    if (width <= 0 || height <= 0) return false;
    bool available = false;
    const std::unique_ptr<QGuiApplication> app = GuiApplicationForCall(available);
    if (!available) return false;
    const QImage image = RenderCalibrationChart(pointsX, pointsY, lineX, lineY, width, height);
    return !image.isNull() && image.save(QString::fromStdString(path), "PNG");
}
