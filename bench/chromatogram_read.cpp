// ChromatogramFile::Read of a chromatogram of 1,000,000 samples and 2,000 peaks, against the
// floor of reading the same file's bytes into memory with plain read() calls.
//   time goal:   read / floor at most 3           (counter "ratio")
//   memory goal: peak memory of the read at most the samples plus twice the file
//                (counters "memoryRatio" from the resident set, "heapRatio" from allocations,
//                both measured in a fresh process)
#include "chromatogram/ChmFile.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include "BenchSupport.h"
#include "BigChromatogram.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>
#include <vector>

// Heap bytes in use and their high-water mark, counted by the global allocation functions.
namespace {
std::size_t gHeapInUse = 0;
std::size_t gHeapPeak = 0;
}  // namespace

void* operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    gHeapInUse += malloc_usable_size(p);
    if (gHeapInUse > gHeapPeak) gHeapPeak = gHeapInUse;
    return p;
}
void operator delete(void* p) noexcept {
    if (!p) return;
    gHeapInUse -= malloc_usable_size(p);
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

constexpr int kSamples = bench::kBigSamples;
constexpr int kPeaks = bench::kBigPeaks;

// A run with 2,000 Gaussian peaks spread evenly over 1,000,000 samples; each integration
// window spans 200 samples, so the peaks cover 40% of the signal.
const std::string& ChromatogramPath() {
    static fixtures::TempDir dir;
    static const std::string path = [] {
        const fixtures::SyntheticRun run = bench::BigChromatogramRun();
        fixtures::ChromatogramFixture c = fixtures::Synthesize(run);
        c.passport.sampleName = "Бенчмарк";
        const std::string file = dir.Path() + "/big.stg";
        fixtures::WriteStg(file, c);
        return file;
    }();
    return path;
}

std::size_t FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0;
}


void BM_ChromatogramRead(benchmark::State& state) {
    const std::string& path = ChromatogramPath();
    bench::FloorTimer timer(state);
    for (auto _ : state) {
        timer.Floor([&] { bench::ReadFileBytes(path); });
        bool read = false;
        timer.Measure([&] {
            chromatogram::ChromatogramFile file;
            read = file.Read(path) && file.signal.GetSize() == kSamples && file.peaks.GetSize() == kPeaks;
        });
        if (!read) {
            state.SkipWithError("the chromatogram was not read");
            return;
        }
    }
    timer.Report("read", 3);
}
BENCHMARK(BM_ChromatogramRead)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

long StatusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::strtol(line.c_str() + std::string(field).size(), nullptr, 10);
    return -1;
}

constexpr const char* kMeasureOption = "--measure-read";

// Run in a fresh process (this program started again with kMeasureOption), so that no memory
// an earlier allocation left resident can be reused and hide the read's own: prints the growth
// of the resident set's high-water mark and of the heap's high-water mark over one Read.
int MeasureOneRead(const char* path) {
    std::ofstream("/proc/self/clear_refs") << "5";  // the high-water mark starts from now
    const long residentBefore = StatusKilobytes("VmRSS:");
    const std::size_t heapBefore = gHeapInUse;
    gHeapPeak = gHeapInUse;
    chromatogram::ChromatogramFile file;
    if (!file.Read(path)) return 1;
    const long resident = (StatusKilobytes("VmHWM:") - residentBefore) * 1024;
    std::printf("%ld %zu\n", resident, gHeapPeak - heapBefore);
    return 0;
}

void BM_ChromatogramReadMemory(benchmark::State& state) {
    const std::string& path = ChromatogramPath();
    const double budget = static_cast<double>(kSamples) * sizeof(float) + 2.0 * static_cast<double>(FileSize(path));
    char selfPath[4096] = {};
    if (::readlink("/proc/self/exe", selfPath, sizeof selfPath - 1) <= 0) {
        state.SkipWithError("cannot find this program");
        return;
    }
    const std::string self = selfPath;
    long residentBytes = -1;
    long heapBytes = -1;
    for (auto _ : state) {
        const std::string command = "'" + self + "' " + kMeasureOption + " '" + path + "'";
        FILE* child = ::popen(command.c_str(), "r");
        if (!child || std::fscanf(child, "%ld %ld", &residentBytes, &heapBytes) != 2) residentBytes = -1;
        if (child) ::pclose(child);
        if (residentBytes < 0) {
            state.SkipWithError("the measuring process could not read the chromatogram");
            return;
        }
    }
    state.counters["file_MiB"] = static_cast<double>(FileSize(path)) / (1 << 20);
    state.counters["budget_MiB"] = budget / (1 << 20);
    state.counters["resident_MiB"] = static_cast<double>(residentBytes) / (1 << 20);
    state.counters["heap_MiB"] = static_cast<double>(heapBytes) / (1 << 20);
    state.counters["memoryRatio"] = static_cast<double>(residentBytes) / budget;
    state.counters["heapRatio"] = static_cast<double>(heapBytes) / budget;
    state.counters["goal_ratio"] = 1;
}
BENCHMARK(BM_ChromatogramReadMemory)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == kMeasureOption) return MeasureOneRead(argv[2]);
    return bench::RunBenchmarks(argc, argv);
}
