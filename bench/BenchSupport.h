// What every benchmark here shares: timing an operation against a floor measured in the same
// iterations, and the main() around Google Benchmark.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace bench {

inline double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Times the measured operation and its floor inside one benchmark's iterations. The iteration
// time Google Benchmark reports is the measured operation's (register with UseManualTime());
// Report() adds the mean of each and their ratio as counters.
//
//     bench::FloorTimer timer(state);
//     for (auto _ : state) {
//         timer.Floor([&] { ReadBytes(path); });
//         timer.Measure([&] { file.Read(path); });
//     }
//     timer.Report("read");                 // counters floor_ms, read_ms, ratio
class FloorTimer {
public:
    enum class Unit { Milliseconds, Microseconds };

    explicit FloorTimer(benchmark::State& state) : state_(state) {}

    template <typename Operation>
    void Floor(Operation&& operation) {
        floorSeconds_ += Time(operation);
    }

    template <typename Operation>
    void Measure(Operation&& operation) {
        const double seconds = Time(operation);
        measuredSeconds_ += seconds;
        state_.SetIterationTime(seconds);
    }

    // Counters "<floorName>_<unit>", "<measuredName>_<unit>" (means over the iterations) and
    // "ratio" (measured over floor); "goal_ratio" too when a goal is given.
    void Report(const std::string& measuredName, double goalRatio = 0, Unit unit = Unit::Milliseconds,
                const std::string& floorName = "floor") {
        const double iterations = static_cast<double>(state_.iterations());
        if (iterations == 0) return;
        const double scale = unit == Unit::Milliseconds ? 1e3 : 1e6;
        const std::string suffix = unit == Unit::Milliseconds ? "_ms" : "_us";
        state_.counters[floorName + suffix] = scale * floorSeconds_ / iterations;
        state_.counters[measuredName + suffix] = scale * measuredSeconds_ / iterations;
        state_.counters["ratio"] = measuredSeconds_ / floorSeconds_;
        if (goalRatio > 0) state_.counters["goal_ratio"] = goalRatio;
    }

private:
    template <typename Operation>
    static double Time(Operation& operation) {
        const auto start = std::chrono::steady_clock::now();
        operation();
        return Seconds(std::chrono::steady_clock::now() - start);
    }

    benchmark::State& state_;
    double floorSeconds_ = 0;
    double measuredSeconds_ = 0;
};

// Qt benchmarks draw off-screen unless the caller chose a platform; call before the application
// object is made.
inline void UseOffscreenPlatformUnlessSet() { ::setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0); }

// The body of a benchmark program's main(): parses the benchmark options, runs the chosen
// benchmarks. Returns the exit status (1 on an unknown option).
inline int RunBenchmarks(int& argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace bench
