// The peak integration is tuned for speed (several samples at a time, sums regrouped when that
// cannot change them). Its results must nevertheless be those of the plain computation to the
// last bit: the plain computation is kept here, written as directly as possible, and both are
// run on many random signals and peak tables, the awkward ones included.
#include "chromatogram/Cmpeeks.h"
#include "chromatogram/Lattice.h"
#include "support/StgBuilder.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

using chromatogram::Lattice;
using chromatogram::Peak;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---- The plain computation -------------------------------------------------------------------

double PlainInterpolate(double x, double x1, double x2, double y1, double y2) {
    if (x2 == x1) return y1;
    return y1 + (x - x1) * (y2 - y1) / (x2 - x1);
}

double PlainTimeAt(const Lattice& signal, std::int64_t i) { return signal.startTime + static_cast<double>(i) * signal.step; }

double PlainValueAt(const Lattice& signal, double t) {
    const chromatogram::Samples& y = signal.samples;
    const std::int64_t n = static_cast<std::int64_t>(y.size());
    if (n == 0) return 0.0;
    if (n == 1) return y[0];
    const double k = std::floor((t - signal.startTime) / signal.step);
    std::int64_t at;
    if (!(k >= 0))
        at = 0;
    else if (k >= static_cast<double>(n - 1))
        at = n - 2;
    else
        at = static_cast<std::int64_t>(k);
    return PlainInterpolate(t, PlainTimeAt(signal, at), PlainTimeAt(signal, at + 1), y[at], y[at + 1]);
}

void PlainSetGroupBaseline(Peak& p, double c, double d, const Lattice& signal) {
    const double yc = PlainValueAt(signal, c);
    const double yd = PlainValueAt(signal, d);
    p.baselineAtStart = PlainInterpolate(p.startTime, c, d, yc, yd);
    p.baselineAtEnd = PlainInterpolate(p.endTime, c, d, yc, yd);
}

void PlainIntegrate(Peak& p, const Lattice& signal) {
    const double s = p.startTime;
    const double e = p.endTime;
    const chromatogram::Samples& y = signal.samples;
    const std::int64_t n = static_cast<std::int64_t>(y.size());
    // The sample range, clamped to the signal while still in floating point; an end that is
    // not a number gives no samples, a quotient that is not a number leaves that side open.
    double i0 = std::ceil((s - signal.startTime) / signal.step);
    double i1 = std::floor((e - signal.startTime) / signal.step);
    if (!(i1 < static_cast<double>(n - 1))) i1 = static_cast<double>(n - 1);
    if (!(i0 > 0)) i0 = 0;
    const bool noSample = std::isnan(s) || std::isnan(e) || i1 < i0;

    const double yS = PlainValueAt(signal, s);
    const double yE = PlainValueAt(signal, e);
    if (p.prevInGroup < 0 && p.nextInGroup < 0) {
        p.baselineAtStart = yS;
        p.baselineAtEnd = yE;
    }
    const double bS = p.baselineAtStart;
    const double bE = p.baselineAtEnd;
    if (noSample) {
        p.retentionTime = (s + e) / 2;
        p.height = (yS + yE) / 2 - (bS + bE) / 2;
        p.area = std::fabs((e - s) * (yS + yE) / 2 - (bS + bE) * (e - s) / 2);
        return;
    }
    const std::int64_t first = static_cast<std::int64_t>(i0);
    const std::int64_t last = static_cast<std::int64_t>(i1);
    p.retentionTime = 0;
    p.height = -DBL_MAX;
    double sum = 0;
    for (std::int64_t i = first; i <= last; ++i) {
        const double t = PlainTimeAt(signal, i);
        const double yi = y[i];
        const double h = std::fabs(yi - PlainInterpolate(t, s, e, bS, bE));
        if (!(p.height >= h)) {
            p.retentionTime = t;
            p.height = h;
        }
        sum = sum + yi;
    }
    const double step = signal.step;
    double a = step * sum - (static_cast<double>(y[first]) + y[last]) * step / 2;
    a = a + (PlainTimeAt(signal, first) - s) * (y[first] + yS) / 2 + (e - PlainTimeAt(signal, last)) * (y[last] + yE) / 2;
    a = a - (bS + bE) * (e - s) / 2;
    p.area = std::fabs(a);
}

// Loading derives the predecessors, draws the group baselines, integrates and subtracts the
// nested areas. The tables made below have no cycles, so every group has a first peak.
void PlainIntegrateAll(std::vector<Peak>& peaks, const Lattice& signal) {
    const std::int32_t count = static_cast<std::int32_t>(peaks.size());
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t next = peaks[i].nextInGroup;
        if (next >= 0 && next < count)
            peaks[next].prevInGroup = i;
        else
            peaks[i].nextInGroup = -1;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        if (peaks[i].nextInGroup < 0 || peaks[i].prevInGroup >= 0) continue;
        std::int32_t last = i;
        while (peaks[last].nextInGroup >= 0) last = peaks[last].nextInGroup;
        const double c = peaks[i].startTime;
        const double d = peaks[last].endTime;
        for (std::int32_t k = i; k >= 0; k = peaks[k].nextInGroup) PlainSetGroupBaseline(peaks[k], c, d, signal);
    }
    for (Peak& p : peaks) PlainIntegrate(p, signal);
    for (std::size_t i = 0; i < peaks.size(); ++i)
        for (std::size_t j = 0; j < peaks.size(); ++j)
            if (j != i && peaks[j].startTime >= peaks[i].startTime && peaks[j].endTime <= peaks[i].endTime)
                peaks[i].area -= peaks[j].area;
}

double PlainSum(const std::vector<float>& y) {
    double sum = 0;
    for (float v : y) sum = sum + v;
    return sum;
}

// ---- Random signals and tables ---------------------------------------------------------------

// Equal bits; a result that is not a number may be any such number.
::testing::AssertionResult Same(const char*, const char* what, double expected, double actual) {
    if (std::bit_cast<std::uint64_t>(expected) == std::bit_cast<std::uint64_t>(actual) || (std::isnan(expected) && std::isnan(actual)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << what << ": expected " << expected << " (" << std::hexfloat << expected << "), got "
                                         << actual << " (" << actual << ")" << std::defaultfloat;
}

class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    std::uint64_t Below(std::uint64_t n) { return engine_() % n; }
    bool OneIn(std::uint64_t n) { return Below(n) == 0; }
    double Uniform(double from, double to) { return std::uniform_real_distribution<double>(from, to)(engine_); }
    // A float of random sign whose magnitude lies in [2^low, 2^high).
    float Magnitude(int low, int high) {
        const int exponent = low + static_cast<int>(Below(static_cast<std::uint64_t>(high - low)));
        const float m = static_cast<float>(std::ldexp(Uniform(1, 2), exponent));
        return OneIn(2) ? -m : m;
    }

private:
    std::mt19937_64 engine_;
};

enum class SignalKind { Run, SmallIntegers, Wild, ExponentWindow, Count };

// A sample that is awkward for one reason or another.
float WildSample(Random& r) {
    switch (r.Below(14)) {
        case 0: return 0.0f;
        case 1: return -0.0f;
        case 2: return std::numeric_limits<float>::denorm_min() * static_cast<float>(1 + r.Below(1000));
        case 3: return -std::numeric_limits<float>::denorm_min() * static_cast<float>(1 + r.Below(1000));
        case 4: return r.Magnitude(120, 128);  // near the largest floats
        case 5: return r.Magnitude(-126, -110);  // near the smallest normal ones
        case 6: return r.OneIn(4) ? std::numeric_limits<float>::quiet_NaN() : r.Magnitude(-3, 3);
        case 7: return r.OneIn(4) ? (r.OneIn(2) ? INFINITY : -INFINITY) : r.Magnitude(-3, 3);
        case 8: return static_cast<float>(r.Below(5));
        default: return r.Magnitude(-40, 40);
    }
}

std::vector<float> MakeSamples(Random& r, SignalKind kind, std::size_t n) {
    std::vector<float> y(n);
    if (kind == SignalKind::Run) {
        // A baseline with drift and noise under a few bumps, the usual form of a signal.
        const double base = r.Uniform(-10, 10);
        const double drift = r.Uniform(-1e-3, 1e-3);
        const double noise = r.OneIn(3) ? 0.0 : r.Uniform(0, 0.1);
        std::vector<std::pair<double, double>> bumps;
        for (int b = 0, count = static_cast<int>(r.Below(6)); b < count; ++b)
            bumps.emplace_back(r.Uniform(0, static_cast<double>(n)), r.Uniform(-50, 200));
        for (std::size_t i = 0; i < n; ++i) {
            double v = base + drift * static_cast<double>(i) + noise * r.Uniform(-1, 1);
            for (auto [centre, height] : bumps) v += height * std::exp(-std::pow((static_cast<double>(i) - centre) / 20, 2));
            y[i] = static_cast<float>(v);
        }
    } else if (kind == SignalKind::SmallIntegers) {
        for (float& v : y) v = static_cast<float>(static_cast<int>(r.Below(7)) - 3);  // many equal deviations
    } else if (kind == SignalKind::Wild) {
        const std::uint64_t wildness = 1 + r.Below(30);
        for (float& v : y) v = r.Below(wildness) == 0 ? WildSample(r) : r.Magnitude(-2, 4);
    } else {
        // Magnitudes within a window of exponents, some near zero: sums that are exact and
        // sums that round, on either side of where regrouping stops being safe.
        const int low = -20 + static_cast<int>(r.Below(30));
        const int width = 1 + static_cast<int>(r.Below(34));
        const bool oneSign = r.OneIn(2);
        for (float& v : y) {
            v = r.OneIn(20) ? 0.0f : r.Magnitude(low, low + width);
            if (oneSign) v = std::fabs(v);
        }
    }
    return y;
}

void SetRandomTimeBase(Random& r, Lattice& signal) {
    const double start = r.OneIn(3) ? 0.0 : r.Uniform(-100, 100);
    double step;
    switch (r.Below(12)) {
        case 0: step = 0; break;
        case 1: step = -r.Uniform(0.001, 2); break;
        case 2: step = r.OneIn(2) ? kInf : kNaN; break;
        case 3: step = 1e-300; break;
        case 4: step = 1; break;
        default: step = static_cast<double>(static_cast<float>(r.Uniform(0.0001, 2)));
    }
    signal.SetTimeBase(step, start);
}

// A time of interest for a peak end: inside or around the signal, often on a sample, sometimes
// not a number, infinite or far away.
double PeakTime(Random& r, const Lattice& signal) {
    const std::int64_t n = signal.GetSize();
    switch (r.Below(40)) {
        case 0: return kNaN;
        case 1: return r.OneIn(2) ? kInf : -kInf;
        case 2: return r.OneIn(2) ? 1e300 : -1e300;
        case 3: return signal.startTime;
        default: break;
    }
    const double at = r.Uniform(-10, static_cast<double>(n) + 10);
    if (r.OneIn(3)) return signal.TimeAt(static_cast<std::int64_t>(std::floor(at)));
    return signal.startTime + at * (std::isfinite(signal.step) && signal.step != 0 ? signal.step : 1);
}

// Peaks with random ends (reversed and empty spans included), chained into groups without
// cycles.
std::vector<fixtures::PeakFixture> MakePeaks(Random& r, const Lattice& signal) {
    const std::size_t count = 1 + r.Below(40);
    std::vector<fixtures::PeakFixture> peaks;
    const std::int64_t n = signal.GetSize();
    for (std::size_t i = 0; i < count; ++i) {
        double s = PeakTime(r, signal);
        double e;
        if (r.OneIn(6))
            e = s;
        else if (r.OneIn(3) && std::isfinite(s))
            e = s + std::fabs(signal.step) * static_cast<double>(r.Below(static_cast<std::uint64_t>(std::min<std::int64_t>(n, 400)) + 2));
        else
            e = PeakTime(r, signal);
        if (!r.OneIn(8) && e < s) std::swap(s, e);
        peaks.push_back(fixtures::MakePeak(s, e));
    }
    std::vector<std::int32_t> order(count);
    for (std::size_t i = 0; i < count; ++i) order[i] = static_cast<std::int32_t>(i);
    for (std::size_t i = count; i > 1; --i) std::swap(order[i - 1], order[r.Below(i)]);
    for (std::size_t k = 0; k + 1 < count; ++k)
        if (r.OneIn(3)) peaks[order[k]].nextInGroup = order[k + 1];
    return peaks;
}

void ExpectSamePeaks(const std::vector<Peak>& expected, const chromatogram::PeakTable& actual, const std::string& what) {
    ASSERT_EQ(actual.GetSize(), static_cast<int>(expected.size())) << what;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Peak& e = expected[i];
        const Peak& a = actual.GetAt(static_cast<int>(i));
        const std::string where = what + ", peak " + std::to_string(i);
        EXPECT_PRED_FORMAT2(Same, e.area, a.area) << where;
        EXPECT_PRED_FORMAT2(Same, e.height, a.height) << where;
        EXPECT_PRED_FORMAT2(Same, e.retentionTime, a.retentionTime) << where;
        EXPECT_PRED_FORMAT2(Same, e.baselineAtStart, a.baselineAtStart) << where;
        EXPECT_PRED_FORMAT2(Same, e.baselineAtEnd, a.baselineAtEnd) << where;
    }
}

void CompareTable(const Lattice& signal, const std::vector<fixtures::PeakFixture>& stored, const std::string& what) {
    fixtures::TableFixture fixture;
    fixture.peaks = stored;
    chromatogram::PeakTable table;
    table.SetSignal(&signal);
    platform::MemoryStream stream(fixtures::EncodeTable(fixture));
    table.ReadFromStream(stream);

    std::vector<Peak> expected(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        expected[i].startTime = stored[i].startTime;
        expected[i].endTime = stored[i].endTime;
        expected[i].nextInGroup = stored[i].nextInGroup;
    }
    PlainIntegrateAll(expected, signal);
    ExpectSamePeaks(expected, table, what);
}

}  // namespace

TEST(IntegrationReference, AgreesToTheBitOnRandomSignalsAndTables) {
    Random r(0x5EED'0001);
    for (int round = 0; round < 600 && !::testing::Test::HasFailure(); ++round) {
        const auto kind = static_cast<SignalKind>(r.Below(static_cast<std::uint64_t>(SignalKind::Count)));
        const std::size_t n = r.OneIn(10) ? r.Below(4) : r.Below(r.OneIn(4) ? 20000 : 3000);
        Lattice signal;
        const std::vector<float> samples = MakeSamples(r, kind, n);
        signal.samples.assign(samples.begin(), samples.end());
        SetRandomTimeBase(r, signal);
        CompareTable(signal, MakePeaks(r, signal),
                     "round " + std::to_string(round) + " (kind " + std::to_string(static_cast<int>(kind)) + ", " + std::to_string(n) +
                         " samples, step " + std::to_string(signal.step) + ")");
    }
}

TEST(IntegrationReference, AgreesToTheBitOnASyntheticRun) {
    // The shape of the signals the program meets: narrow peaks on a drifting, noisy baseline.
    fixtures::SyntheticRun run;
    run.step = 0.001;
    run.sampleCount = 60000;
    run.baseline = 5;
    run.drift = 0.01;
    run.noise = 0.05;
    for (int i = 0; i < 150; ++i) run.peaks.push_back({"", run.step * run.sampleCount / 150 * (i + 0.5), 0.025, 10.0 + i % 7});
    const fixtures::ChromatogramFixture c = fixtures::Synthesize(run);
    Lattice signal;
    signal.samples.assign(c.signal.begin(), c.signal.end());
    signal.SetTimeBase(run.step, run.startTime);
    CompareTable(signal, c.table.peaks, "synthetic run");
}

TEST(IntegrationReference, ValueAtAgreesToTheBit) {
    Random r(0x5EED'0002);
    for (int round = 0; round < 300; ++round) {
        Lattice signal;
        const std::vector<float> samples = MakeSamples(r, static_cast<SignalKind>(r.Below(static_cast<std::uint64_t>(SignalKind::Count))), r.Below(50));
        signal.samples.assign(samples.begin(), samples.end());
        SetRandomTimeBase(r, signal);
        for (int k = 0; k < 50; ++k) {
            const double t = PeakTime(r, signal);
            ASSERT_PRED_FORMAT2(Same, PlainValueAt(signal, t), signal.ValueAt(t)) << "round " << round << ", t " << t;
        }
    }
}

TEST(IntegrationReference, SumInOrderAgreesToTheBit) {
    // Sums that no grouping can change and sums that round, near zero, subnormal, huge, infinite
    // and not a number, at every length modulo the width of the unrolled loop.
    Random r(0x5EED'0003);
    for (int round = 0; round < 3000; ++round) {
        const auto kind = static_cast<SignalKind>(r.Below(static_cast<std::uint64_t>(SignalKind::Count)));
        const std::vector<float> y = MakeSamples(r, kind, r.OneIn(20) ? r.Below(70000) : r.Below(300));
        ASSERT_PRED_FORMAT2(Same, PlainSum(y), chromatogram::SumInOrder(y.data(), y.size()))
            << "round " << round << ", kind " << static_cast<int>(kind) << ", " << y.size() << " samples";
    }
    // All of one magnitude but one far smaller, in every position: exact while the count and the
    // spread of exponents allow it, rounding just past that.
    for (int spread : {0, 1, 12, 28, 29, 30, 31, 40}) {
        for (std::size_t n : {std::size_t{1} << (29 - std::min(spread, 29)), (std::size_t{1} << (29 - std::min(spread, 29))) + 1}) {
            if (n > 200000) continue;
            for (std::size_t at : {std::size_t{0}, n / 3, n - 1}) {
                std::vector<float> y(n, 1.5f * 0x1p20f);
                y[at] = std::ldexp(1.25f, 20 - spread);
                ASSERT_PRED_FORMAT2(Same, PlainSum(y), chromatogram::SumInOrder(y.data(), y.size()))
                    << "spread " << spread << ", " << n << " samples, small one at " << at;
            }
        }
    }
}
