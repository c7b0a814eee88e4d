// From focus on a row of the open dialog to the finished preview of a chromatogram of 1,000,000
// samples and 2,000 peaks: the dialog's own response to the focus (passport box, list), the
// background read, the chart's series and the chart painted into the preview, against the read
// floor of the chromatogram read benchmark (the file's bytes into memory with plain read()
// calls), measured alternately in the same run.
//   BM_FocusToPreview: counter "ratio" (preview / floor), goal at most 3; "ratio_read" is the
//                      same against ChromatogramFile::Read of the file, for information;
//                      "paint_ms" is the chart's paint event alone.
#include "chart/AutoCtrl.h"
#include "chromatogram/ChmFile.h"
#include "platform/Registry.h"
#include "platform/XTPRegistryManager.h"
#include "selection/ChromatogramPreview.h"
#include "selection/OpenChrmDlg.h"
#include "support/SettingsHome.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include "BenchSupport.h"
#include "BigChromatogram.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QTreeView>

#include <chrono>
#include <string>
#include <vector>

namespace {


COpenChrmDlg* dialog = nullptr;
std::string bigPath;

// The chromatogram of the read benchmark, and a small one to move away to between iterations.
void WriteFolder(const std::string& folder) {
    const fixtures::SyntheticRun run = bench::BigChromatogramRun();
    fixtures::ChromatogramFixture big = fixtures::Synthesize(run);
    big.passport.sampleName = "big";
    big.passport.dateTime = 1700000000;
    bigPath = folder + "/big.stg";
    fixtures::WriteStg(bigPath, big);
    fixtures::ChromatogramFixture small;
    small.signal.assign(100, 1.0f);
    small.passport.sampleName = "small";
    small.passport.dateTime = 1600000000;
    fixtures::WriteStg(folder + "/small.stg", small);
}


int RowOf(QTreeView* list, const char* title) {
    for (int r = 0; r < list->model()->rowCount(); ++r)
        if (list->model()->index(r, 2).data().toString() == QLatin1String(title)) return r;
    return -1;
}

// Counts the paint events of the preview's chart and times the last one.
class ChartPaints : public QObject {
public:
    int count = 0;
    std::chrono::steady_clock::duration lastPaint{};

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint) return false;
        ++count;
        const auto start = std::chrono::steady_clock::now();
        watched->event(event);  // the paint itself, timed
        lastPaint = std::chrono::steady_clock::now() - start;
        return true;
    }
};
ChartPaints* paints = nullptr;

// Focuses the row and lets the dialog run, as it runs for the operator, until the preview
// shows the file and has painted it.
bool FocusAndWait(QTreeView* list, int row) {
    CChromatogramPreview* preview = dialog->Preview();
    paints->count = 0;
    list->setCurrentIndex(list->model()->index(row, 0));
    while (preview->CurrentState() == CChromatogramPreview::State::Reading ||
           (preview->CurrentState() == CChromatogramPreview::State::Shown && paints->count == 0))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return preview->CurrentState() == CChromatogramPreview::State::Shown;
}

// The folder is scanned in the background: the rows are there once its scan has ended.
void WaitForScan() {
    if (!dialog->Scanning()) return;
    QEventLoop loop;
    QObject::connect(dialog, &COpenChrmDlg::ScanFinished, &loop, &QEventLoop::quit);
    loop.exec();
}

void BM_FocusToPreview(benchmark::State& state) {
    WaitForScan();
    ChartPaints chartPaints;
    paints = &chartPaints;
    dialog->Preview()->Chart()->installEventFilter(&chartPaints);
    QTreeView* list = dialog->findChild<QTreeView*>();
    const int big = RowOf(list, "big"), small = RowOf(list, "small");
    if (big < 0 || small < 0) return state.SkipWithError("the rows are missing");
    double floorSeconds = 0, readSeconds = 0, previewSeconds = 0, paintSeconds = 0;
    for (auto _ : state) {
        if (!FocusAndWait(list, small)) return state.SkipWithError("the small file was not shown");
        const auto t0 = std::chrono::steady_clock::now();
        bench::ReadFileBytes(bigPath);
        const auto t1 = std::chrono::steady_clock::now();
        {
            chromatogram::ChromatogramFile file;
            if (!file.Read(bigPath)) return state.SkipWithError("the chromatogram was not read");
        }
        const auto t2 = std::chrono::steady_clock::now();
        if (!FocusAndWait(list, big)) return state.SkipWithError("the chromatogram was not shown");
        const auto t3 = std::chrono::steady_clock::now();
        floorSeconds += bench::Seconds(t1 - t0);
        readSeconds += bench::Seconds(t2 - t1);
        previewSeconds += bench::Seconds(t3 - t2);
        paintSeconds += bench::Seconds(chartPaints.lastPaint);
        state.SetIterationTime(bench::Seconds(t3 - t2));
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["floor_ms"] = 1000 * floorSeconds / n;
    state.counters["read_ms"] = 1000 * readSeconds / n;
    state.counters["preview_ms"] = 1000 * previewSeconds / n;
    state.counters["paint_ms"] = 1000 * paintSeconds / n;
    state.counters["ratio"] = previewSeconds / floorSeconds;
    state.counters["ratio_read"] = previewSeconds / readSeconds;
    state.counters["goal_ratio"] = 3;
    dialog->Preview()->Chart()->removeEventFilter(&chartPaints);
}
BENCHMARK(BM_FocusToPreview)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

int main(int argc, char** argv) {
    bench::UseOffscreenPlatformUnlessSet();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    fixtures::SettingsHome home;
    fixtures::TempDir dir;
    const std::string folder = dir.MakeFolder("runs");
    WriteFolder(folder);
    const auto key = platform::RegistryKey::Create(platform::RootKey::CurrentUser, platform::ApplicationKeyPath());
    platform::WriteRegString(*key, "LastOpenPath2", folder);
    platform::WriteRegDword(*key, "OpenDirType", 0);

    COpenChrmDlg openDialog;
    dialog = &openDialog;
    QTimer::singleShot(0, &openDialog, [&] {
        benchmark::RunSpecifiedBenchmarks();
        openDialog.done(2);
    });
    openDialog.Run(false);
    benchmark::Shutdown();
    return 0;
}
