// Drawing a series of 1,000,000 points with straight lines into a 1000 x 600 off-screen image,
// against the floor of QPainter drawing the same mapped points as one polyline, measured in
// the same iterations.
//   BM_SeriesLine: the series alone into the plot of the chart's layout (counter "ratio",
//                  goal at most 2);
//   BM_ChartLine:  the whole chart around it: ranges from the data, ticks, labels, layout,
//                  composed off-screen and copied (counter "ratio", for information).
// BM_CalibrationChart: the calibration chart of the main dialog (20 line points, 4 markers)
// into 560 x 300; its time is reported.
#include "chart/CalibrationChart.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygon>

#include "BenchSupport.h"
#include "PolylineFloor.h"

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kPoints = 1'000'000;
constexpr int kWidth = 1000;
constexpr int kHeight = 600;

// A slow wave with one broad peak and a few pixels of noise: most neighbouring points fall on
// different pixels, so little is saved by skipping repeated pixels.
struct Signal {
    std::vector<float> x, y;
    Signal() : x(kPoints), y(kPoints) {
        std::mt19937 random(7);
        std::uniform_real_distribution<float> noise(-1, 1);
        for (int i = 0; i < kPoints; ++i) {
            const double t = static_cast<double>(i) / kPoints;
            const double peak = (t - 0.5) / 0.02;
            x[i] = static_cast<float>(i) * 0.001f;
            y[i] = static_cast<float>(50 * std::sin(8 * M_PI * t) + 20 * std::exp(-peak * peak)) + noise(random);
        }
    }
};

const Signal& TheSignal() {
    static const Signal signal;
    return signal;
}

// A chart of the signal, laid out once so that its plot rectangle and ranges are known.
struct LaidOutChart {
    CAutoChart chart;
    QImage image = platform::MakeImage(kWidth, kHeight);
    QPolygon mapped;

    LaidOutChart() {
        const Signal& s = TheSignal();
        chart.GetSeries(chart.AddSeries()).SetData(s.x.data(), s.y.data(), kPoints);
        {
            platform::Surface surface(image);
            chart.Draw(surface, {0, 0, kWidth, kHeight});
        }
        mapped.resize(kPoints);
        for (int i = 0; i < kPoints; ++i) mapped[i] = QPoint(chart.XToPixel(s.x[i]), chart.YToPixel(s.y[i]));
    }

    void DrawFloor() { bench::DrawPolylineFloor(image, mapped); }
};

// Times `draw` against the floor in the same iterations; the iteration time is the draw's.
template <typename Draw>
void AgainstFloor(benchmark::State& state, LaidOutChart& laidOut, Draw draw, double goalRatio = 0) {
    bench::FloorTimer timer(state);
    for (auto _ : state) {
        timer.Floor([&] { laidOut.DrawFloor(); });
        timer.Measure([&] {
            platform::Surface surface(laidOut.image);
            draw(surface);
        });
    }
    timer.Report("draw", goalRatio);
}

void BM_SeriesLine(benchmark::State& state) {
    LaidOutChart laidOut;
    CAutoSeries& series = laidOut.chart.GetSeries(0);
    series.SetXRange(laidOut.chart.xMin, laidOut.chart.xMax);
    series.SetYRange(laidOut.chart.yMin, laidOut.chart.yMax);
    const platform::Rect plot = laidOut.chart.rect;
    AgainstFloor(state, laidOut, [&](platform::Surface& surface) { series.Draw(surface, plot); }, 2);
}
BENCHMARK(BM_SeriesLine)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_ChartLine(benchmark::State& state) {
    LaidOutChart laidOut;
    AgainstFloor(state, laidOut, [&](platform::Surface& surface) { laidOut.chart.Draw(surface, {0, 0, kWidth, kHeight}); });
}
BENCHMARK(BM_ChartLine)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_CalibrationChart(benchmark::State& state) {
    std::vector<float> pointsX{1, 2, 3, 4}, pointsY{0.48f, 1.05f, 1.46f, 2.02f}, lineX, lineY;
    for (int i = 0; i < 20; ++i) {
        lineX.push_back(0.5f + 0.215f * i);
        lineY.push_back(lineX.back() * 0.5f);
    }
    CAutoChart chart;
    ConfigureCalibrationChart(chart);
    chart.GetSeries(kCalibrationLineSeries).SetData(lineX.data(), lineY.data(), 20);
    chart.GetSeries(kCalibrationPointSeries).SetData(pointsX.data(), pointsY.data(), 4);
    QImage image = platform::MakeImage(560, 300);
    for (auto _ : state) {
        platform::Surface surface(image);
        chart.Draw(surface, {0, 0, 560, 300});
    }
}
BENCHMARK(BM_CalibrationChart)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

int main(int argc, char** argv) {
    bench::UseOffscreenPlatformUnlessSet();
    QGuiApplication app(argc, argv);
    return bench::RunBenchmarks(argc, argv);
}
