// The chromatogram the read, view and preview benchmarks share: 2,000 Gaussian peaks (every
// second one "этанол") over 1,000,000 samples, and the floor they measure it against: the file's
// bytes read into memory with plain read() calls.
#pragma once

#include "support/StgBuilder.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace bench {

inline constexpr int kBigSamples = 1'000'000;
inline constexpr int kBigPeaks = 2'000;

inline fixtures::SyntheticRun BigChromatogramRun() {
    fixtures::SyntheticRun run;
    run.step = 0.001;
    run.sampleCount = kBigSamples;
    run.baseline = 5;
    run.drift = 0.01;
    run.noise = 0.05;
    const double spacing = run.step * kBigSamples / kBigPeaks;
    for (int i = 0; i < kBigPeaks; ++i)
        run.peaks.push_back({i % 2 ? "этанол" : "", spacing * (i + 0.5), 0.025, 10.0 + i % 7});
    return run;
}

// The floor: the file's bytes into a buffer of its size, with plain read() calls.
inline void ReadFileBytes(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    struct stat st {};
    ::fstat(fd, &st);
    std::vector<char> bytes(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    benchmark::DoNotOptimize(bytes.data());
}

}  // namespace bench
