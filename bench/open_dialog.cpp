// The chromatogram open dialog on a folder of 10,000 chromatograms, run as the operator sees it.
//   BM_Refresh: Refresh until its scan has ended and every row is listed (scan, filters, list,
//     progress), against the floor of the folder scan alone (chromatogram::FolderScan of the
//     same folder), measured alternately in the same run.   goal: ratio at most 1.2
//   BM_FirstRows: a folder change while a scan runs (Refresh twice: the second cancels the
//     first) until the first rows are in the list.   goal: at most 100 ms
//   BM_RowStateChange: one click's worth of row-state change on that list (the focused row's
//     passport read and joint selection over the 10,000 rows); time reported, with one passport
//     read as its floor.
#include "platform/XTPRegistryManager.h"
#include "chromatogram/FolderScan.h"
#include "chromatogram/Passport.h"
#include "platform/gui/DialogTemplate.h"
#include "resources/Resource.h"
#include "selection/OpenChrmDlg.h"
#include "support/SettingsHome.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include "BenchSupport.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QTreeView>

#include <chrono>
#include <string>
#include <vector>

namespace {

constexpr int kFiles = 10'000;
constexpr std::int64_t kStart = 1700000000;

COpenChrmDlg* dialog = nullptr;
std::string folder;

// Runs of a working month: two chromatograms recorded together (2 s apart) every minute, five
// methods spelt in two letter cases, three sites, four points, a third of them calibrations.
void WriteFolder(const fixtures::TempDir& dir) {
    const char* methods[] = {"Этанол", "ЭТАНОЛ", "Метанол", "Сивушные масла", "Альдегиды"};
    const char* sites[] = {"Цех 1", "Цех 2", "Склад"};
    const char* points[] = {"Куб колонны", "Кран 1", "Кран 2", "Ёмкость"};
    folder = dir.MakeFolder("runs");
    for (int i = 0; i < kFiles; ++i) {
        fixtures::ChromatogramFixture c;
        c.signal.assign(200, 1.0f);
        c.passport.sampleName = "Проба №" + std::to_string(i);
        c.passport.methodName = methods[i % 5];
        c.passport.samplingSite = sites[i % 3];
        c.passport.samplingPoint = points[i % 4];
        c.passport.isCalibration = i % 3 == 0;
        c.passport.dateTime = kStart + (i / 2) * 60 + (i % 2) * 2;
        dir.WriteFile("runs/run" + std::to_string(i) + ".stg", fixtures::BuildStg(c));
    }
}

using bench::Seconds;

// Lets the dialog run until its scan has ended.
void WaitForScan() {
    if (!dialog->Scanning()) return;
    QEventLoop loop;
    QObject::connect(dialog, &COpenChrmDlg::ScanFinished, &loop, &QEventLoop::quit);
    loop.exec();
}

void BM_Refresh(benchmark::State& state) {
    auto* list = platform::gui::FindControl<QTreeView>(dialog, resources::IDC_CHRM_LIST);
    bench::FloorTimer timer(state);
    for (auto _ : state) {
        std::size_t scanned = 0;
        timer.Floor([&] {
            chromatogram::FolderScan scan(folder + "/*.stg", {});
            scan.Wait();
            scanned = scan.TakeRead().size();
        });
        timer.Measure([&] {
            dialog->Refresh();
            WaitForScan();
        });
        if (scanned != kFiles || list->model()->rowCount() != kFiles) {
            state.SkipWithError("not every chromatogram was read and listed");
            return;
        }
    }
    timer.Report("refresh", 1.2, bench::FloorTimer::Unit::Milliseconds, "scan");
}
BENCHMARK(BM_Refresh)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(5);

void BM_FirstRows(benchmark::State& state) {
    auto* list = platform::gui::FindControl<QTreeView>(dialog, resources::IDC_CHRM_LIST);
    double firstRowsSeconds = 0, longest = 0;
    for (auto _ : state) {
        dialog->Refresh();
        const auto t0 = std::chrono::steady_clock::now();
        dialog->Refresh();  // the folder changes while the first scan runs
        while (list->model()->rowCount() == 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double seconds = Seconds(std::chrono::steady_clock::now() - t0);
        state.SetIterationTime(seconds);
        firstRowsSeconds += seconds;
        longest = std::max(longest, seconds);
        state.PauseTiming();
        WaitForScan();
        state.ResumeTiming();
    }
    state.counters["first_rows_ms"] = 1000 * firstRowsSeconds / static_cast<double>(state.iterations());
    state.counters["longest_ms"] = 1000 * longest;
    state.counters["goal_ms"] = 100;
}
BENCHMARK(BM_FirstRows)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_RowStateChange(benchmark::State& state) {
    WaitForScan();
    auto* list = platform::gui::FindControl<QTreeView>(dialog, resources::IDC_CHRM_LIST);
    const std::string firstPath = folder + "/" + list->model()->index(0, 2).data().toString().toStdString() + ".stg";
    bench::FloorTimer timer(state);
    int row = 0;
    for (auto _ : state) {
        // A different row each time, spread over the list, so that every change selects anew.
        row = (row + 4999) % kFiles;
        const QModelIndex index = list->model()->index(row, 0);
        timer.Measure([&] {
            list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        });
        timer.Floor([&] {
            chromatogram::Passport passport;
            benchmark::DoNotOptimize(passport.ReadFromFile(firstPath, "Passport"));
        });
        if (list->selectionModel()->selectedRows().size() != 2) {
            state.SkipWithError("joint selection did not add the partner row");
            return;
        }
    }
    timer.Report("change", 0, bench::FloorTimer::Unit::Microseconds, "passport_read");
}
BENCHMARK(BM_RowStateChange)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(2);

}  // namespace

int main(int argc, char** argv) {
    bench::UseOffscreenPlatformUnlessSet();
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    // A private settings store that remembers the folder, so the dialog opens on it.
    fixtures::SettingsHome home;
    fixtures::TempDir dir;
    WriteFolder(dir);
    if (const auto key = platform::RegistryKey::Create(platform::RootKey::CurrentUser, platform::ApplicationKeyPath()))
        platform::WriteRegString(*key, "LastOpenPath2", folder);

    // The benchmarks run inside the dialog's modal loop, as the operator's clicks would.
    COpenChrmDlg openDialog;
    dialog = &openDialog;
    QTimer::singleShot(0, &openDialog, [&] {
        WaitForScan();
        benchmark::RunSpecifiedBenchmarks();
        openDialog.done(2);
    });
    openDialog.Run(false);
    benchmark::Shutdown();
    return 0;
}
