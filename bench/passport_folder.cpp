// The passports of a folder of 10,000 chromatograms of 400 KB, as the open dialog lists a
// folder, against the floor of opening each file, reading its first 4 KiB and closing it, one
// after another. Each iteration measures all three in turn:
//   floor:      open + read 4 KiB + close of every file
//   sequential: Passport::ReadFromFile of every file, one after another (counter "read_ratio")
//   scan:       chromatogram::FolderScan of the folder: listing and reads, a few in flight
//               (counter "ratio", the manual time)
// BM_PassportScan/warm runs with the files in the page cache (goal: ratio at most 1.5);
// BM_PassportScan/cold drops the page cache before each of the three (goal: ratio at most 2),
// which needs root: without it the benchmark says so and skips.
// OSTREL_BENCH_FILES=N sets another number of files (100000 to try a very large folder),
// OSTREL_BENCH_READERS=N the scan's reads in flight (default: the scan's own).
#include "chromatogram/FolderScan.h"
#include "chromatogram/Passport.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include "BenchSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kDefaultFiles = 10'000;
constexpr int kDistinctFiles = 10;
constexpr std::size_t kFloorBytes = 4096;
constexpr int kSamples = 100'000;  // 400 KB of signal

int EnvCount(const char* name, int otherwise) {
    const char* n = std::getenv(name);
    return n && std::atoi(n) > 0 ? std::atoi(n) : otherwise;
}

int FileCount() { return EnvCount("OSTREL_BENCH_FILES", kDefaultFiles); }

// Writes the image leaving its all-zero pages as holes: the signal is flat zero, so ten
// thousand files of 400 KB take a few MB of disk, while the passport and its structures sit
// where a real file of that size has them.
void WriteSparse(const std::string& path, const std::string& image) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(image.size())) != 0) throw std::runtime_error("cannot write " + path);
    for (std::size_t at = 0; at < image.size(); at += 4096) {
        const std::size_t n = std::min<std::size_t>(4096, image.size() - at);
        if (std::string_view(image.data() + at, n).find_first_not_of('\0') == std::string_view::npos) continue;
        if (::pwrite(fd, image.data() + at, n, static_cast<off_t>(at)) != static_cast<ssize_t>(n))
            throw std::runtime_error("cannot write " + path);
    }
    ::close(fd);
}

struct Folder {
    Folder();
    fixtures::TempDir dir;
    std::string path = dir.MakeFolder("runs");
    std::vector<std::string> files;
};

Folder::Folder() {
    std::vector<std::string> images;
    for (int k = 0; k < kDistinctFiles; ++k) {
        fixtures::ChromatogramFixture c;
        c.signal.assign(kSamples, 0.0f);
        c.step = 0.2;
        c.table.peaks = {fixtures::MakePeak(50, 70, ""), fixtures::MakePeak(130, 150, "этанол"),
                         fixtures::MakePeak(175, 195, "изопропанол"), fixtures::MakePeak(260, 290, "")};
        c.passport.sampleName = "Проба №" + std::to_string(k);
        c.passport.methodName = "Этанол";
        c.passport.samplingSite = "Цех 2";
        c.passport.samplingPoint = "Куб колонны";
        c.passport.dateTime = 1700000000 + k * 60;
        images.push_back(fixtures::BuildStg(c));
    }
    for (int i = 0, n = FileCount(); i < n; ++i) {
        files.push_back(path + "/run" + std::to_string(i) + ".stg");
        WriteSparse(files.back(), images[static_cast<std::size_t>(i % kDistinctFiles)]);
    }
}

const Folder& TheFolder() {
    static const Folder folder;
    return folder;
}

void ReadFirstBytes(const std::string& path) {
    char buffer[kFloorBytes];
    const int fd = ::open(path.c_str(), O_RDONLY);
    benchmark::DoNotOptimize(::read(fd, buffer, sizeof buffer));
    ::close(fd);
}

bool DropPageCache() {
    ::sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool dropped = ::write(fd, "3", 1) == 1;
    ::close(fd);
    return dropped;
}

template <typename F>
double Timed(bool cold, F&& f) {
    if (cold && !DropPageCache()) throw std::runtime_error("cannot drop the page cache (needs root)");
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return bench::Seconds(std::chrono::steady_clock::now() - t0);
}

void BM_PassportScan(benchmark::State& state, bool cold) {
    const Folder& folder = TheFolder();
    const std::size_t files = folder.files.size();
    double floorSeconds = 0, readSeconds = 0, scanSeconds = 0;
    try {
        for (auto _ : state) {
            floorSeconds += Timed(cold, [&] {
                for (const std::string& path : folder.files) ReadFirstBytes(path);
            });
            std::size_t read = 0;
            readSeconds += Timed(cold, [&] {
                for (const std::string& path : folder.files) {
                    chromatogram::Passport passport;
                    read += passport.ReadFromFile(path, "Passport") ? 1 : 0;
                }
            });
            std::size_t scanned = 0;
            const double scan = Timed(cold, [&] {
                chromatogram::FolderScan scan(folder.path + "/*.stg",
                                              {chromatogram::ScanType::Any,
                                               static_cast<unsigned>(EnvCount("OSTREL_BENCH_READERS", 0)), {}, {}});
                scan.Wait();
                for (const chromatogram::ScannedFile& f : scan.TakeRead()) scanned += f.readable ? 1 : 0;
            });
            if (read != files || scanned != files) {
                state.SkipWithError("not every passport was read");
                return;
            }
            scanSeconds += scan;
            state.SetIterationTime(scan);
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["files"] = static_cast<double>(files);
    state.counters["floor_ms"] = 1000 * floorSeconds / n;
    state.counters["read_ms"] = 1000 * readSeconds / n;
    state.counters["scan_ms"] = 1000 * scanSeconds / n;
    state.counters["read_ratio"] = readSeconds / floorSeconds;
    state.counters["ratio"] = scanSeconds / floorSeconds;
    state.counters["goal_ratio"] = cold ? 2 : 1.5;
}
BENCHMARK_CAPTURE(BM_PassportScan, warm, false)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK_CAPTURE(BM_PassportScan, cold, true)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) { return bench::RunBenchmarks(argc, argv); }
