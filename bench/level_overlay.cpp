// The overlay of the level chromatograms and ostrel-cli plot over many files.
//   BM_LevelOverlay: five chromatograms of 1,000,000 samples (2,000 peaks each, half of them
//                    "этанол", filled) overlaid into 1000 x 600 with their legend, against the
//                    floor of QPainter drawing the five signals as five polylines of their mapped
//                    points, in the same iterations (counter "ratio", goal at most 0.3).
//   BM_PlotFiles:    `ostrel-cli plot FILE... --png-dir DIR` over 100 such files, per file: the
//                    call of 100 files less the call of one (the program's start-up), over 99,
//                    against the floor of ChromatogramFile::Read of the same file in this process,
//                    in the same iterations (counter "ratio", goal at most 3).
#include "chart/LevelOverlayPlot.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include "BenchSupport.h"
#include "BigChromatogram.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygon>

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 600;
constexpr int kLevels = LevelOverlayPlot::kMaxLevels;
constexpr int kFiles = 100;

struct Files {
    fixtures::TempDir dir;
    std::array<std::string, kLevels> paths;
    std::vector<OverlayLevel> levels;

    Files() {
        for (int k = 0; k < kLevels; ++k) {
            fixtures::SyntheticRun run = bench::BigChromatogramRun();
            run.seed = static_cast<std::uint32_t>(11 + k);
            for (fixtures::SyntheticPeak& peak : run.peaks) peak.area *= 1 + 0.2 * k;
            paths[static_cast<std::size_t>(k)] = dir.Path() + "/level-" + std::to_string(k) + ".stg";
            fixtures::WriteStg(paths[static_cast<std::size_t>(k)], fixtures::Synthesize(run));
            levels.push_back(ReadOverlayLevel(0.1 * k, paths[static_cast<std::size_t>(k)]));
        }
    }
    bool Read() const {
        for (const OverlayLevel& level : levels)
            if (!level.file) return false;
        return true;
    }
};

const Files& TheFiles() {
    static const Files files;
    return files;
}

void BM_LevelOverlay(benchmark::State& state) {
    const Files& files = TheFiles();
    if (!files.Read()) return state.SkipWithError("the chromatograms were not read");
    QImage image = platform::MakeImage(kWidth, kHeight);
    // The floor's points: each signal mapped into the plot the overlay lays out.
    CAutoChart chart;
    LevelOverlayPlot::Configure(chart);
    LevelOverlayPlot plot;
    plot.Show(chart, files.levels);
    {
        platform::Surface surface(image);
        chart.Draw(surface, {0, 0, kWidth, kHeight});
    }
    std::vector<QPolygon> mapped;
    for (int k = 0; k < kLevels; ++k) {
        const CAutoSeries& signal = chart.GetSeries(2 * kLevels + k);
        QPolygon& line = mapped.emplace_back(signal.count);
        for (int i = 0; i < signal.count; ++i)
            line[i] = QPoint(chart.XToPixel(signal.getX(signal, i)), chart.YToPixel(signal.getY(signal, i)));
    }
    bench::FloorTimer timer(state);
    for (auto _ : state) {
        timer.Floor([&] {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing, false);
            painter.setPen(QPen(Qt::black, 0));
            for (const QPolygon& line : mapped) painter.drawPolyline(line);
        });
        timer.Measure([&] { DrawLevelOverlay(image, files.levels); });
    }
    timer.Report("overlay", 0.3);
}
BENCHMARK(BM_LevelOverlay)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

// Runs ostrel-cli-gui with `args`, its output discarded; its wall-clock time in seconds, or a
// negative number when it did not exit with 0.
double RunPlot(const std::vector<std::string>& args) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<char*> argv{const_cast<char*>(OSTREL_CLI_GUI), const_cast<char*>("plot")};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (!std::freopen("/dev/null", "w", stdout)) ::_exit(127);
        ::execv(OSTREL_CLI_GUI, argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const double seconds = bench::Seconds(std::chrono::steady_clock::now() - start);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

void BM_PlotFiles(benchmark::State& state) {
    const Files& files = TheFiles();
    if (!files.Read()) return state.SkipWithError("the chromatograms were not read");
    // A hundred names of the five files (hard links: the same bytes, as a folder of runs of
    // one instrument would be).
    std::vector<std::string> many;
    for (int i = 0; i < kFiles; ++i) {
        many.push_back(files.dir.Path() + "/run-" + std::to_string(i) + ".stg");
        std::error_code error;
        if (!std::filesystem::exists(many.back()))
            std::filesystem::create_hard_link(files.paths[static_cast<std::size_t>(i % kLevels)], many.back(), error);
    }
    std::vector<std::string> one{many.front(), "--png-dir", files.dir.Path() + "/one"};
    std::vector<std::string> all = many;
    all.insert(all.end(), {"--png-dir", files.dir.Path() + "/all"});

    // Per file, both: the read floor over the 99 files past the first, the call's share likewise.
    double floorSeconds = 0, plotSeconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        chromatogram::ChromatogramFile file;
        for (int i = 1; i < kFiles; ++i) benchmark::DoNotOptimize(file.Read(many[static_cast<std::size_t>(i)]));
        floorSeconds += bench::Seconds(std::chrono::steady_clock::now() - start) / (kFiles - 1);
        const double single = RunPlot(one);
        const double whole = RunPlot(all);
        if (single < 0 || whole < 0) return state.SkipWithError("ostrel-cli-gui plot failed");
        const double perFile = (whole - single) / (kFiles - 1);
        plotSeconds += perFile;
        state.SetIterationTime(perFile);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["read_ms"] = 1e3 * floorSeconds / n;
    state.counters["plot_ms"] = 1e3 * plotSeconds / n;
    state.counters["ratio"] = plotSeconds / floorSeconds;
    state.counters["goal_ratio"] = 3;
}
BENCHMARK(BM_PlotFiles)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    bench::UseOffscreenPlatformUnlessSet();
    QGuiApplication app(argc, argv);
    return bench::RunBenchmarks(argc, argv);
}
