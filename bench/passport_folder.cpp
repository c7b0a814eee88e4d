// Passport::ReadFromFile over a folder of 10,000 chromatograms, as the open dialog lists a
// folder, against the floor of opening each file, reading its first 4 KiB and closing it.
//   goal: passports / floor at most 3 (counter "ratio")
#include "chromatogram/Passport.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include "BenchSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

constexpr int kFiles = 10'000;
constexpr int kDistinctFiles = 10;
constexpr std::size_t kFloorBytes = 4096;

// Ten-minute runs of 3,000 samples with four peaks, as a routine folder holds them.
const std::vector<std::string>& ChromatogramPaths() {
    static fixtures::TempDir dir;
    static const std::vector<std::string> paths = [] {
        std::vector<std::string> images;
        for (int k = 0; k < kDistinctFiles; ++k) {
            fixtures::SyntheticRun run;
            run.step = 0.2;
            run.sampleCount = 3000;
            run.baseline = 3;
            run.noise = 0.05;
            run.seed = static_cast<std::uint32_t>(k + 1);
            run.peaks = {{"", 60, 1.5, 40}, {"этанол", 141, 1.8, 90.0 + k}, {"изопропанол", 186, 2.0, 1000}, {"", 277, 3, 12}};
            fixtures::ChromatogramFixture c = fixtures::Synthesize(run);
            c.passport.sampleName = "Проба №" + std::to_string(k);
            c.passport.methodName = "Этанол";
            c.passport.samplingSite = "Цех 2";
            c.passport.samplingPoint = "Куб колонны";
            images.push_back(fixtures::BuildStg(c));
        }
        std::vector<std::string> files;
        for (int i = 0; i < kFiles; ++i)
            files.push_back(dir.WriteFile("run" + std::to_string(i) + ".stg", images[i % kDistinctFiles]));
        return files;
    }();
    return paths;
}

void ReadFirstBytes(const std::string& path) {
    char buffer[kFloorBytes];
    const int fd = ::open(path.c_str(), O_RDONLY);
    benchmark::DoNotOptimize(::read(fd, buffer, sizeof buffer));
    ::close(fd);
}

void BM_PassportFolder(benchmark::State& state) {
    const std::vector<std::string>& paths = ChromatogramPaths();
    bench::FloorTimer timer(state);
    for (auto _ : state) {
        timer.Floor([&] {
            for (const std::string& path : paths) ReadFirstBytes(path);
        });
        int read = 0;
        timer.Measure([&] {
            for (const std::string& path : paths) {
                chromatogram::Passport passport;
                read += passport.ReadFromFile(path, "Passport") ? 1 : 0;
                benchmark::DoNotOptimize(passport.sampleName.data());
            }
        });
        if (read != kFiles) {
            state.SkipWithError("not every passport was read");
            return;
        }
    }
    timer.Report("read", 3);
}
BENCHMARK(BM_PassportFolder)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace

int main(int argc, char** argv) { return bench::RunBenchmarks(argc, argv); }
