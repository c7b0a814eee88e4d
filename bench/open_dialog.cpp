// The chromatogram open dialog on a folder of 10,000 chromatograms, run as the operator sees it.
//   BM_Refresh: Refresh (scan, filters, list) against the floor of the passport reads that its
//     scan makes, measured alternately in the same run.   goal: ratio at most 1.5
//   BM_RowStateChange: one click's worth of row-state change on that list (the focused row's
//     passport read and joint selection over the 10,000 rows); time reported, with one passport
//     read as its floor.
#include "platform/XTPRegistryManager.h"
#include "chromatogram/Passport.h"
#include "platform/FileSearch.h"
#include "platform/gui/DialogTemplate.h"
#include "resources/Resource.h"
#include "selection/OpenChrmDlg.h"
#include "support/SettingsHome.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include "BenchSupport.h"

#include <QApplication>
#include <QTimer>
#include <QTreeView>

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

// The reads ScanFolder makes, and nothing else.
int ReadEveryPassport(const std::vector<std::string>& paths) {
    int read = 0;
    for (const std::string& path : paths) {
        chromatogram::Passport passport;
        read += passport.ReadFromFile(path, "Passport") ? 1 : 0;
        benchmark::DoNotOptimize(passport.sampleName.data());
    }
    return read;
}

void BM_Refresh(benchmark::State& state) {
    std::vector<std::string> paths;
    for (const platform::FileEntry& file : platform::FindFiles(folder + "/*.stg")) paths.push_back(file.fullPath);
    auto* list = platform::gui::FindControl<QTreeView>(dialog, resources::IDC_CHRM_LIST);
    bench::FloorTimer timer(state);
    for (auto _ : state) {
        int read = 0;
        timer.Floor([&] { read = ReadEveryPassport(paths); });
        timer.Measure([&] { dialog->Refresh(); });
        if (read != kFiles || list->model()->rowCount() != kFiles) {
            state.SkipWithError("not every chromatogram was read and listed");
            return;
        }
    }
    timer.Report("refresh", 1.5);
}
BENCHMARK(BM_Refresh)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(5);

void BM_RowStateChange(benchmark::State& state) {
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
        benchmark::RunSpecifiedBenchmarks();
        openDialog.done(2);
    });
    openDialog.Run(false);
    benchmark::Shutdown();
    return 0;
}
