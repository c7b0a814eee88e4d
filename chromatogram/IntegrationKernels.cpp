#include "chromatogram/IntegrationKernels.h"

#include "chromatogram/Cmpeeks.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

// Integration kernels
//
// A peak spans hundreds of samples and loading integrates thousands of peaks, so the loop over
// the samples is what loading a chromatogram costs. Its results must be those of the plain
// loop to the last bit. Three facts make it cheaper without changing one:
//  - The sum of float samples in double precision is exact, whatever the grouping, when the
//    exponents of the samples lie close enough together (proof at Summarize); it is then
//    summed in vector lanes.
//  - The baseline level at a sample moves one way along the peak (see BaselineRange), so the
//    levels at the first and last sample bound all others, and with the smallest and largest
//    sample they bound the deviations: only the few samples that can reach the largest
//    deviation need it computed, division and all, exactly as the plain loop does.
//  - Otherwise the deviations do not depend on one another and are computed several at a
//    time, each with the same operations in the same order as the plain loop.
// The kernels are compiled for AVX2 and for the baseline instruction set and chosen when the
// program starts. FMA is not enabled for either, so no multiplication and addition are fused.

// (Defining OSTREL_KERNEL empty when compiling builds the baseline version alone, to test it on
// a processor that has AVX2: the build option OSTREL_PORTABLE_KERNELS, which the sanitizer run
// of scripts/check.sh sets.)
#if !defined(OSTREL_KERNEL) && defined(__x86_64__) && defined(__has_attribute)
#if __has_attribute(target_clones)
#define OSTREL_KERNEL __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef OSTREL_KERNEL
#define OSTREL_KERNEL
#endif

namespace chromatogram::kernels {

constexpr int kLanes = 4;
constexpr int kWide = 2 * kLanes;  // floats per vector of floats
typedef double Doubles __attribute__((vector_size(kLanes * sizeof(double))));
typedef std::int64_t Longs __attribute__((vector_size(kLanes * sizeof(double))));
typedef float Floats __attribute__((vector_size(kWide * sizeof(float))));
typedef std::int32_t Masks __attribute__((vector_size(kWide * sizeof(float))));
typedef std::uint32_t Bits __attribute__((vector_size(kWide * sizeof(float))));

// kLanes samples from y[i] on, widened (written element by element, which compiles to one
// conversion from memory).
#define OSTREL_WIDEN(y, i) (Doubles{(y)[(i)], (y)[(i) + 1], (y)[(i) + 2], (y)[(i) + 3]})

namespace {

double DeviationAt(const float* y, std::int64_t i, const Times& times, const PeakLine& line) {
    return std::fabs(static_cast<double>(y[i]) - line.At(times.At(i)));
}

void TakeLarger(Deviation& d, double h, std::int64_t i) {
    // Only a strictly larger deviation moves the retention time, so the earliest of equal ones
    // stays; a deviation that is not a number always replaces the one kept.
    if (!(d.height >= h)) {
        d.height = h;
        d.at = i;
    }
}

// Samples first .. last, by the sequential rule itself; for any samples and baseline.
Deviation LargestDeviationInOrder(const float* y, std::int64_t first, std::int64_t last, const Times& times, const PeakLine& line) {
    Deviation d;
    for (std::int64_t i = first; i <= last; ++i) TakeLarger(d, DeviationAt(y, i, times, line), i);
    return d;
}

// The same for a baseline that is not flat (e != s), kLanes samples at a time. Each lane keeps
// its largest deviation and the first index that has it; without a deviation that is not a
// number the sequential rule ends with the largest of all and the first index that has it,
// which is the smallest index among the lanes holding that largest value. A deviation that is
// not a number makes the rule depend on the order, and false is returned.
OSTREL_KERNEL bool LargestSlopedDeviation(const float* y, std::int64_t first, std::int64_t last, const Times& times,
                                          const PeakLine& line, Deviation& out) {
    const Longs magnitude = {INT64_MAX, INT64_MAX, INT64_MAX, INT64_MAX};
    const double rise = line.bE - line.bS;
    const double width = line.e - line.s;
    Doubles index = {0, 1, 2, 3};
    index += static_cast<double>(first);
    Doubles best = {-DBL_MAX, -DBL_MAX, -DBL_MAX, -DBL_MAX};
    Doubles bestIndex = index;
    Doubles total = {};  // of the deviations, which are at least 0: not a number if one is not
    std::int64_t i = first;
    for (; last - i >= kLanes - 1; i += kLanes) {
        const Doubles t = times.startTime + index * times.step;
        const Doubles base = line.bS + (t - line.s) * rise / width;
        const Doubles h = (Doubles)((Longs)(OSTREL_WIDEN(y, i) - base) & magnitude);
        const Longs larger = h > best;
        best = larger ? h : best;
        bestIndex = larger ? index : bestIndex;
        total += h;
        index += static_cast<double>(kLanes);
    }
    if (std::isnan(total[0] + total[1] + total[2] + total[3])) return false;
    Deviation d;
    for (int lane = 0; lane < kLanes; ++lane) {
        if (best[lane] > d.height || (best[lane] == d.height && bestIndex[lane] < static_cast<double>(d.at))) {
            d.height = best[lane];
            d.at = static_cast<std::int64_t>(bestIndex[lane]);
        }
    }
    for (; i <= last; ++i) TakeLarger(d, DeviationAt(y, i, times, line), i);
    out = d;
    return true;
}

}  // namespace

// Why a regrouped sum can equal the sequential one. Every float other than zero is an integer
// multiple of its unit in the last place, 2^(E - 150) for the biased exponent E (2^-149 for the
// subnormal floats, whose E is 0, as for E = 1), and its magnitude is below 2^(E - 126). Let
// Emin and Emax be the smallest and the largest E among the nonzero samples (E = 0 counted as
// 1) and u = 2^(Emin - 150). Every sample is then a multiple of u, and so is every partial sum,
// whatever the grouping, and no partial sum of n samples exceeds n * 2^(Emax - 126) in
// magnitude. If n <= 2^(29 - (Emax - Emin)) that bound is at most 2^(Emin - 97) = 2^53 * u, and
// every multiple of u up to 2^53 * u is a double: every addition is exact, the sum is the
// exact sum of the samples in any grouping, and it is +0 when that is zero (additions starting
// from +0 never yield -0). Samples that are infinite or not a number, or exponents too far
// apart for the count, must be summed one after another. count must be at least 1.
OSTREL_KERNEL SampleSummary Summarize(const float* samples, std::size_t count) {
    constexpr std::uint32_t kMagnitude = 0x7FFFFFFF;
    constexpr int kMantissaBits = 23;
    Doubles sum0 = {};
    Doubles sum1 = {};
    Bits smallest = ~Bits{};  // smallest magnitude (as bits, which order like the magnitudes) less 1,
                              // unsigned, so that zero counts as the largest
    Floats lowest = {};
    lowest += samples[0];
    Floats highest = lowest;
    std::size_t i = 0;
    for (; count - i >= kWide; i += kWide) {
        Floats v;
        std::memcpy(&v, samples + i, sizeof v);
        lowest = v < lowest ? v : lowest;
        highest = v > highest ? v : highest;
        const Bits m = ((Bits)v & kMagnitude) - 1;
        smallest = m < smallest ? m : smallest;
        sum0 += OSTREL_WIDEN(samples, i);
        sum1 += OSTREL_WIDEN(samples, i + kLanes);
    }
    SampleSummary summary;
    std::uint32_t bottom = ~std::uint32_t{0};
    summary.lowest = samples[0];
    summary.highest = samples[0];
    for (int lane = 0; lane < kWide; ++lane) {
        bottom = std::min(bottom, smallest[lane]);
        summary.lowest = std::min(summary.lowest, lowest[lane]);
        summary.highest = std::max(summary.highest, highest[lane]);
    }
    double tail = 0;
    for (; i < count; ++i) {
        bottom = std::min(bottom, (std::bit_cast<std::uint32_t>(samples[i]) & kMagnitude) - 1);
        summary.lowest = std::min(summary.lowest, samples[i]);
        summary.highest = std::max(summary.highest, samples[i]);
        tail += samples[i];
    }
    const Doubles both = sum0 + sum1;
    summary.sum = ((both[0] + both[1]) + (both[2] + both[3])) + tail;
    // A sample that is infinite or not a number makes the sum so; finite floats, fewer than 2^31
    // of them, cannot add up beyond the doubles. Without such samples the extremes are the true
    // ones, and the larger magnitude of the two is the largest.
    summary.finite = std::isfinite(summary.sum);
    if (summary.finite) {
        const std::uint32_t top = std::max(std::bit_cast<std::uint32_t>(summary.lowest) & kMagnitude,
                                           std::bit_cast<std::uint32_t>(summary.highest) & kMagnitude);
        const int spread = static_cast<int>(top >> kMantissaBits) - std::max(static_cast<int>((bottom + 1) >> kMantissaBits), 1);
        summary.sumExact = top == 0 || (spread <= 29 && count <= (std::size_t{1} << (29 - spread)));
    }
    return summary;
}

double SumOneAfterAnother(const float* samples, std::size_t count) {
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i) sum += samples[i];
    return sum;
}

namespace {

// Positions (counted from `samples`) of the samples at or below `below` or at or above
// `above`, in order, into `at`; stops once `limit` are found and returns how many were.
OSTREL_KERNEL std::size_t SamplesBeyond(const float* samples, std::size_t count, float below, float above, std::uint32_t* at,
                                        std::size_t limit) {
    std::size_t found = 0;
    // Looks at samples from .. to - 1 one by one; true once the limit is reached.
    const auto collect = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            if (samples[i] <= below || samples[i] >= above) {
                at[found++] = static_cast<std::uint32_t>(i);
                if (found == limit) return true;
            }
        }
        return false;
    };
    const auto beyond = [&](std::size_t i, Masks& m) {
        Floats v;
        std::memcpy(&v, samples + i, sizeof v);
        m = (v <= below) | (v >= above);
    };
    const auto any = [](const Masks& m) {
        const Longs pairs = (Longs)m;
        return ((pairs[0] | pairs[1]) | (pairs[2] | pairs[3])) != 0;
    };
    // Most samples lie between the bounds: a whole block of four vectors is tested at once,
    // and only a vector that holds one is looked at sample by sample.
    constexpr std::size_t kBlock = 4 * kWide;
    std::size_t i = 0;
    for (; count - i >= kBlock; i += kBlock) {
        Masks m0, m1, m2, m3;
        beyond(i, m0);
        beyond(i + kWide, m1);
        beyond(i + 2 * kWide, m2);
        beyond(i + 3 * kWide, m3);
        if (!any((m0 | m1) | (m2 | m3))) continue;
        for (std::size_t k = i; k < i + kBlock; k += kWide) {
            Masks m;
            beyond(k, m);
            if (any(m) && collect(k, k + kWide)) return found;
        }
    }
    for (; count - i >= kWide; i += kWide) {
        Masks m;
        beyond(i, m);
        if (any(m) && collect(i, i + kWide)) return found;
    }
    collect(i, count);
    return found;
}

// The baseline levels at the samples first .. last, which lie between those of the first and
// the last sample: each step of Interpolate(t_i; s, e, bS, bE) = bS + (t_i - s) * (bE - bS) /
// (e - s), from the time t_i = startTime + i * step on, rounds a quantity that moves one way
// with i, and rounding to nearest keeps that order. That holds while no step overflows or
// yields a number that is not one; the steps at the two ends are checked, and those of the
// samples between lie between them. False when a check fails.
bool BaselineRange(std::int64_t first, std::int64_t last, const Times& times, const PeakLine& line, double& lowest,
                   double& highest) {
    if (line.e == line.s) {
        lowest = highest = line.bS;
        return std::isfinite(line.bS);
    }
    const double rise = line.bE - line.bS;
    const double width = line.e - line.s;
    double level[2];
    for (int end = 0; end < 2; ++end) {
        const double t = times.At(end == 0 ? first : last);
        const double fromStart = t - line.s;
        const double product = fromStart * rise;
        const double quotient = product / width;
        level[end] = line.bS + quotient;
        if (!std::isfinite(t) || !std::isfinite(fromStart) || !std::isfinite(product) || !std::isfinite(quotient) ||
            !std::isfinite(level[end]))
            return false;
    }
    lowest = std::min(level[0], level[1]);
    highest = std::max(level[0], level[1]);
    return true;
}

// The float next to a finite f towards minus infinity.
float NextDown(float f) {
    if (f == 0) return -std::numeric_limits<float>::denorm_min();
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(f);
    return std::bit_cast<float>(f > 0 ? bits - 1 : bits + 1);
}

// The largest float at most x, and the smallest float at least x (x a number).
float FloatAtMost(double x) {
    if (x >= FLT_MAX) return FLT_MAX;
    if (x < -FLT_MAX) return -INFINITY;
    const float f = static_cast<float>(x);
    return static_cast<double>(f) > x ? NextDown(f) : f;
}
float FloatAtLeast(double x) { return -FloatAtMost(-x); }

// The largest deviation from the samples that can reach it. With every baseline level in
// [lo, hi], a sample y deviates by at most max(|fl(y - lo)|, |fl(y - hi)|) (fl: rounding to
// double, which keeps order), and the largest sample by at least fl(highest - hi) when that
// is positive, the smallest by at least fl(lo - lowest): the largest deviation is at least the
// larger of these, L. A sample that reaches L has fl(y - lo) >= L or fl(y - hi) <= -L (the
// other two cases imply these), so y >= lo + L(1 - 2^-53) - 2^-1075 or y <= hi - L(1 - 2^-53)
// + 2^-1075: rounding to nearest moves a number by at most 2^-53 of it, or 2^-1075 below the
// normal doubles. The thresholds below are these bounds computed with a margin of 2^-48 of the
// magnitudes involved plus 2^-1060, far more than the few roundings in computing them, and
// then rounded outward to floats. Every sample of the largest deviation lies beyond them, and
// the sequential rule over those samples alone ends as over all. False when the bounds do not
// narrow the samples down to a few.
bool LargestDeviationAmongFew(const float* y, std::int64_t first, std::int64_t last, const Times& times, const PeakLine& line,
                              const SampleSummary& summary, Deviation& out) {
    constexpr std::size_t kMostCandidates = 64;
    double lo = 0;
    double hi = 0;
    if (!summary.finite || !BaselineRange(first, last, times, line, lo, hi)) return false;
    double least = 0;
    if (summary.highest >= hi) least = std::max(least, static_cast<double>(summary.highest) - hi);
    if (summary.lowest <= lo) least = std::max(least, lo - static_cast<double>(summary.lowest));
    if (!(least > 0) || !std::isfinite(least)) return false;
    const double up = lo + least;
    const double down = hi - least;
    const float above = FloatAtMost(up - ((std::fabs(up) + least) * 0x1p-48 + 0x1p-1060));
    const float below = FloatAtLeast(down + ((std::fabs(down) + least) * 0x1p-48 + 0x1p-1060));

    const std::size_t count = static_cast<std::size_t>(last - first + 1);
    const std::size_t limit = std::min(kMostCandidates, 8 + count / 8);
    std::uint32_t at[kMostCandidates + 1];
    const std::size_t found = SamplesBeyond(y + first, count, below, above, at, limit + 1);
    if (found == 0 || found > limit) return false;
    Deviation d;
    for (std::size_t k = 0; k < found; ++k) {
        const std::int64_t i = first + static_cast<std::int64_t>(at[k]);
        TakeLarger(d, DeviationAt(y, i, times, line), i);
    }
    out = d;
    return true;
}

}  // namespace

Deviation LargestDeviation(const float* y, std::int64_t first, std::int64_t last, const Times& times, const PeakLine& line,
                           const SampleSummary& summary) {
    Deviation d;
    if (LargestDeviationAmongFew(y, first, last, times, line, summary, d)) return d;
    if (line.e != line.s && LargestSlopedDeviation(y, first, last, times, line, d)) return d;
    return LargestDeviationInOrder(y, first, last, times, line);
}

}  // namespace chromatogram::kernels

namespace chromatogram {

double SumInOrder(const float* samples, std::size_t count) {
    if (count == 0) return 0.0;
    const kernels::SampleSummary summary = kernels::Summarize(samples, count);
    return summary.sumExact ? summary.sum : kernels::SumOneAfterAnother(samples, count);
}

}  // namespace chromatogram
