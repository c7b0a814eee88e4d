// The chromatogram view: a signal of 1,000,000 samples with 2,000 peaks (half of them "этанол",
// filled and named) drawn into 1000 x 600, against the floor of QPainter drawing the whole
// signal as one polyline of its mapped points, measured in the same iterations.
//   BM_SignalColumns: the signal series alone, drawn per pixel column, into the plot of the
//                     chart's layout                   (counter "ratio", goal at most 0.2)
//   BM_ChromatogramChart: the whole chromatogram chart: signal, areas, baselines, names, axes,
//                     titles, composed off-screen and copied (counter "ratio", goal at most 0.2)
#include "chart/ChromatogramPlot.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include "BenchSupport.h"
#include "PolylineFloor.h"
#include "BigChromatogram.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygon>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 600;

// The run of the chromatogram read benchmark: 2,000 Gaussian peaks over 1,000,000 samples.
std::shared_ptr<const chromatogram::ChromatogramFile> Chromatogram() {
    static const std::shared_ptr<const chromatogram::ChromatogramFile> file = [] {
        const fixtures::SyntheticRun run = bench::BigChromatogramRun();
        fixtures::TempDir dir;
        const std::string path = dir.Path() + "/big.stg";
        fixtures::WriteStg(path, fixtures::Synthesize(run));
        auto read = std::make_shared<chromatogram::ChromatogramFile>();
        if (!read->Read(path)) read.reset();
        return read;
    }();
    return file;
}

// The chromatogram chart laid out once, so that its plot rectangle and ranges are known, and
// the signal's points mapped for the floor.
struct LaidOutChart {
    CAutoChart chart;
    ChromatogramPlot plot;
    QImage image = platform::MakeImage(kWidth, kHeight);
    QPolygon mapped;

    LaidOutChart() {
        ChromatogramPlot::Configure(chart);
        plot.Show(chart, Chromatogram());
        {
            platform::Surface surface(image);
            chart.Draw(surface, {0, 0, kWidth, kHeight});
        }
        const CAutoSeries& signal = chart.GetSeries(kSignalSeries);
        mapped.resize(signal.count);
        for (int i = 0; i < signal.count; ++i)
            mapped[i] = QPoint(chart.XToPixel(signal.getX(signal, i)), chart.YToPixel(signal.getY(signal, i)));
    }

    void DrawFloor() { bench::DrawPolylineFloor(image, mapped); }
};

// Times `draw` against the floor in the same iterations; the iteration time is the draw's.
template <typename Draw>
void AgainstFloor(benchmark::State& state, LaidOutChart& laidOut, Draw draw) {
    bench::FloorTimer timer(state);
    for (auto _ : state) {
        timer.Floor([&] { laidOut.DrawFloor(); });
        timer.Measure([&] {
            platform::Surface surface(laidOut.image);
            draw(surface);
        });
    }
    timer.Report("draw", 0.2);
}

void BM_SignalColumns(benchmark::State& state) {
    if (!Chromatogram()) return state.SkipWithError("the chromatogram was not read");
    LaidOutChart laidOut;
    CAutoSeries& signal = laidOut.chart.GetSeries(kSignalSeries);
    signal.SetXRange(laidOut.chart.xMin, laidOut.chart.xMax);
    signal.SetYRange(laidOut.chart.yMin, laidOut.chart.yMax);
    const platform::Rect plot = laidOut.chart.rect;
    AgainstFloor(state, laidOut, [&](platform::Surface& surface) { signal.Draw(surface, plot); });
}
BENCHMARK(BM_SignalColumns)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_ChromatogramChart(benchmark::State& state) {
    if (!Chromatogram()) return state.SkipWithError("the chromatogram was not read");
    LaidOutChart laidOut;
    AgainstFloor(state, laidOut,
                 [&](platform::Surface& surface) { laidOut.chart.Draw(surface, {0, 0, kWidth, kHeight}); });
}
BENCHMARK(BM_ChromatogramChart)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

int main(int argc, char** argv) {
    bench::UseOffscreenPlatformUnlessSet();
    QGuiApplication app(argc, argv);
    return bench::RunBenchmarks(argc, argv);
}
