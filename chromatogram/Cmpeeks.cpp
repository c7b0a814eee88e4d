#include "chromatogram/Cmpeeks.h"

#include "chromatogram/Archive.h"
#include "chromatogram/Errors.h"
#include "platform/Text.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <stdexcept>
#include <unordered_set>

namespace chromatogram {

namespace {

constexpr std::uint32_t kFirstMagic = 0x125FFE11;
constexpr std::uint32_t kSecondMagic = 0xA2D28C45;
constexpr std::int32_t kLatestVersion = 4;
// Headers and legacy records alike are told apart by the first 8 bytes; a shorter stream holds
// no table at all.
constexpr std::uint64_t kSmallestTable = 8;

// The fixed record of version 0 (the legacy form, and a header of version 0).
constexpr std::size_t kLegacyRecordSize = 112;
constexpr std::size_t kLegacyEndTime = 0;
constexpr std::size_t kLegacyStartTime = 8;
constexpr std::size_t kLegacyExtraValue = 16;
constexpr std::size_t kLegacyName = 24;
constexpr std::size_t kLegacyNameSize = 32;
constexpr std::size_t kLegacyNextInGroup = 56;

// The fewest bytes a record of a version can take: three doubles, an empty text (one prefix
// byte) and nextInGroup; extraCode from version 2; an empty attribute list from version 3.
std::uint64_t SmallestRecordSize(std::int32_t version) {
    if (version == 0) return kLegacyRecordSize;
    std::uint64_t size = 3 * 8 + 1 + 4;
    if (version >= 2) size += 4;
    if (version >= 3) size += 4;
    return size;
}

// A pair takes at least its two one-byte text prefixes.
constexpr std::uint64_t kSmallestPair = 2;

template <typename T>
T FieldAt(const char* record, std::size_t offset) {
    T value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

void ReadLegacyRecord(Archive& archive, Peak& peak) {
    if (archive.Remaining() < kLegacyRecordSize) throw BadFormatError("a legacy peak record is cut short");
    char record[kLegacyRecordSize];
    archive.ReadBytes(record, sizeof record);
    peak.endTime = FieldAt<double>(record, kLegacyEndTime);
    peak.startTime = FieldAt<double>(record, kLegacyStartTime);
    peak.extraValue = FieldAt<double>(record, kLegacyExtraValue);
    const char* name = record + kLegacyName;
    peak.name = platform::DecodeWindows1251(std::string_view(name, strnlen(name, kLegacyNameSize)));
    peak.nextInGroup = FieldAt<std::int32_t>(record, kLegacyNextInGroup);
}

// Version 3 drops pairs without a key and keeps only the first of several pairs with one key;
// later versions keep every pair as stored.
void ReadAttributes(Archive& archive, std::int32_t version, Attributes& attributes) {
    const std::uint32_t count = archive.ReadUInt32();
    if (count > archive.Remaining() / kSmallestPair)
        throw EndOfDataError("an attribute list announces more pairs than the stream holds");
    attributes.clear();
    if (count == 0) return;
    std::unordered_set<std::string> keys;
    for (std::uint32_t k = 0; k < count; ++k) {
        std::string key = archive.ReadText();
        std::string value = archive.ReadText();
        if (version == 3 && (key.empty() || !keys.insert(key).second)) continue;
        attributes.emplace_back(std::move(key), std::move(value));
    }
}

void ReadRecord(Archive& archive, std::int32_t version, Peak& peak) {
    if (version == 0) {
        ReadLegacyRecord(archive, peak);
        return;
    }
    peak.startTime = archive.ReadDouble();
    peak.endTime = archive.ReadDouble();
    peak.extraValue = archive.ReadDouble();
    peak.name = archive.ReadText();
    peak.nextInGroup = archive.ReadInt32();
    if (version >= 2) peak.extraCode = archive.ReadInt32();
    if (version >= 3) ReadAttributes(archive, version, peak.attributes);
}

// Sample indices i0 .. i1 of the samples whose times lie within [s, e], clamped to n samples;
// i1 < i0 when there is none. Decided in floating point so that no quotient (infinite with a
// zero step, or far outside the signal) overflows the conversion to an integer; a quotient of
// 0 / 0 (a zero step with an end exactly at the start time) leaves that side unbounded.
struct SampleRange {
    std::int64_t first = 0;
    std::int64_t last = -1;
};

// ceil(q) and floor(q) for a q well inside the range of the integers, by truncation, which
// costs less than the library's rounding.
std::int64_t Ceiling(double q) {
    const auto k = static_cast<std::int64_t>(q);
    return static_cast<double>(k) < q ? k + 1 : k;
}
std::int64_t Floor(double q) {
    const auto k = static_cast<std::int64_t>(q);
    return static_cast<double>(k) > q ? k - 1 : k;
}

// first and last are the positions of the peak's ends in samples, (s - startTime) / step and
// (e - startTime) / step, with s and e numbers.
SampleRange SamplesWithin(double first, double last, std::int64_t n) {
    SampleRange range;
    if (n == 0) return range;
    if (!(first > 0))
        range.first = 0;
    else if (first > static_cast<double>(n))
        range.first = n;
    else
        range.first = Ceiling(first);
    if (!(last < static_cast<double>(n - 1)))
        range.last = n - 1;
    else if (last < -1)
        range.last = -1;
    else
        range.last = Floor(last);
    return range;
}

// The peaks whose ends are both numbers, ordered by start time, with the minimum end time
// over ranges of that order, so that the peaks lying within a given one are found without
// looking at every other peak. A peak lies within peak i when it starts at or after i's start
// and ends at or before i's end: in start order that is every peak from the first one starting
// at i's start on whose end is at most i's end. The usual table (peaks in time order, few of
// them nested) finds them at once; the tree only skips runs of peaks that end too late.
class NestingIndex {
public:
    explicit NestingIndex(const std::vector<Peak>& peaks) : position_(peaks.size(), -1) {
        for (std::size_t i = 0; i < peaks.size(); ++i)
            if (!std::isnan(peaks[i].startTime) && !std::isnan(peaks[i].endTime))
                byStart_.push_back({peaks[i].startTime, peaks[i].endTime, static_cast<std::int32_t>(i), 0});
        const auto earlier = [](const Entry& a, const Entry& b) { return a.start < b.start; };
        if (!std::is_sorted(byStart_.begin(), byStart_.end(), earlier)) std::sort(byStart_.begin(), byStart_.end(), earlier);
        const std::size_t n = byStart_.size();
        for (std::size_t k = 0; k < n; ++k) {
            Entry& entry = byStart_[k];
            entry.firstWithStart = k > 0 && byStart_[k - 1].start == entry.start ? byStart_[k - 1].firstWithStart : static_cast<std::int32_t>(k);
            position_[static_cast<std::size_t>(entry.peak)] = static_cast<std::int32_t>(k);
        }
        leaves_ = 1;
        while (leaves_ < n) leaves_ *= 2;
        minEnd_.assign(2 * leaves_, std::numeric_limits<double>::infinity());
        for (std::size_t k = 0; k < n; ++k) minEnd_[leaves_ + k] = byStart_[k].end;
        for (std::size_t node = leaves_ - 1; node >= 1; --node) minEnd_[node] = std::min(minEnd_[2 * node], minEnd_[2 * node + 1]);
        minEndFrom_.resize(n);
        for (std::size_t k = n; k-- > 0;) minEndFrom_[k] = k + 1 < n ? std::min(minEndFrom_[k + 1], byStart_[k].end) : byStart_[k].end;
    }

    // The peaks other than i that lie within peak i, in table order.
    void NestedIn(std::int32_t i, std::vector<std::int32_t>& out) const {
        out.clear();
        const std::int32_t at = position_[static_cast<std::size_t>(i)];
        if (at < 0) return;
        const double maxEnd = byStart_[static_cast<std::size_t>(at)].end;
        std::size_t k = static_cast<std::size_t>(byStart_[static_cast<std::size_t>(at)].firstWithStart);
        while (k < byStart_.size() && minEndFrom_[k] <= maxEnd) {
            if (byStart_[k].end > maxEnd) k = FirstEndingBy(k + 1, maxEnd);
            if (byStart_[k].peak != i) out.push_back(byStart_[k].peak);
            ++k;
        }
        if (out.size() > 1) std::sort(out.begin(), out.end());
    }

private:
    struct Entry {
        double start;
        double end;
        std::int32_t peak;            // index in the table
        std::int32_t firstWithStart;  // position of the first entry with the same start
    };

    // The first position from `from` on whose peak ends at or before maxEnd; there is one.
    std::size_t FirstEndingBy(std::size_t from, double maxEnd) const {
        std::size_t node = leaves_ + from;
        // Climb through the subtrees that cover the positions from `from` on, left to right...
        while (!(minEnd_[node] <= maxEnd)) {
            while (node & 1) node >>= 1;
            ++node;
        }
        // ...then descend to the leftmost leaf of the first one that holds such a peak.
        while (node < leaves_) {
            node *= 2;
            if (!(minEnd_[node] <= maxEnd)) ++node;
        }
        return node - leaves_;
    }

    std::vector<Entry> byStart_;
    std::vector<std::int32_t> position_;  // position in byStart_ of each peak, -1 if left out
    std::size_t leaves_ = 1;
    std::vector<double> minEnd_;      // tree over byStart_: node k covers nodes 2k and 2k + 1
    std::vector<double> minEndFrom_;  // minimum end over positions k and after
};

// ---- Integration kernels -------------------------------------------------------------------
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
// a processor that has AVX2.)
#if !defined(OSTREL_KERNEL) && defined(__x86_64__) && defined(__has_attribute)
#if __has_attribute(target_clones)
#define OSTREL_KERNEL __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef OSTREL_KERNEL
#define OSTREL_KERNEL
#endif

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

// The sample times are startTime + i * step with i widened to double, as Lattice::TimeAt has it.
struct Times {
    double startTime;
    double step;
    double At(std::int64_t i) const { return startTime + static_cast<double>(i) * step; }
};

// A peak's ends and baseline levels; the baseline at t is Interpolate(t; s, e, bS, bE).
struct PeakLine {
    double s, e, bS, bE;
    double At(double t) const { return Interpolate(t, s, e, bS, bE); }
};

// The largest deviation of a run of samples from a baseline and where it first occurs, as the
// sequential rule "take h unless height >= h" leaves them, starting from the most negative
// finite height.
struct Deviation {
    double height = -DBL_MAX;
    std::int64_t at = -1;
};

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

// What one pass over a run of samples tells.
struct SampleSummary {
    double sum = 0;         // the samples added in some grouping
    bool sumExact = false;  // ... which equals their sum in index order
    bool finite = false;    // no sample is infinite or not a number
    float lowest = 0;       // the smallest and largest sample, when finite
    float highest = 0;
};

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

Deviation LargestDeviation(const float* y, std::int64_t first, std::int64_t last, const Times& times, const PeakLine& line,
                           const SampleSummary& summary) {
    Deviation d;
    if (LargestDeviationAmongFew(y, first, last, times, line, summary, d)) return d;
    if (line.e != line.s && LargestSlopedDeviation(y, first, last, times, line, d)) return d;
    return LargestDeviationInOrder(y, first, last, times, line);
}

}  // namespace

double SumInOrder(const float* samples, std::size_t count) {
    if (count == 0) return 0.0;
    const SampleSummary summary = Summarize(samples, count);
    return summary.sumExact ? summary.sum : SumOneAfterAnother(samples, count);
}

void Peak::SetGroupBaseline(double c, double d, const Lattice& signal) {
    const double yc = signal.ValueAt(c);
    const double yd = signal.ValueAt(d);
    baselineAtStart = Interpolate(startTime, c, d, yc, yd);
    baselineAtEnd = Interpolate(endTime, c, d, yc, yd);
}

void Peak::Integrate(const Lattice& signal) {
    const double s = startTime;
    const double e = endTime;
    // Where the ends lie in samples decides both which samples lie within the peak and which
    // two the ends' values are interpolated from.
    const double startPosition = (s - signal.startTime) / signal.step;
    const double endPosition = (e - signal.startTime) / signal.step;
    const SampleRange range = std::isnan(s) || std::isnan(e) ? SampleRange{} : SamplesWithin(startPosition, endPosition, signal.GetSize());
    const double yS = signal.ValueAt(s, startPosition);
    const double yE = signal.ValueAt(e, endPosition);
    if (prevInGroup < 0 && nextInGroup < 0) {
        baselineAtStart = yS;
        baselineAtEnd = yE;
    }
    const double bS = baselineAtStart;
    const double bE = baselineAtEnd;

    if (range.last < range.first) {
        // No sample lies within the peak: between its ends the signal is the straight line
        // from yS to yE, so the area is that trapezoid less the baseline's, as for any peak.
        retentionTime = (s + e) / 2;
        height = (yS + yE) / 2 - (bS + bE) / 2;
        area = std::fabs((e - s) * (yS + yE) / 2 - (bS + bE) * (e - s) / 2);
        return;
    }

    const double step = signal.step;
    const float* y = signal.samples.data();
    const std::size_t count = static_cast<std::size_t>(range.last - range.first + 1);
    const SampleSummary summary = Summarize(y + range.first, count);
    const double sum = summary.sumExact ? summary.sum : SumOneAfterAnother(y + range.first, count);
    const Deviation largest = LargestDeviation(y, range.first, range.last, {signal.startTime, step}, {s, e, bS, bE}, summary);
    retentionTime = signal.TimeAt(largest.at);
    height = largest.height;
    const double yFirst = y[range.first];
    const double yLast = y[range.last];
    double a = step * sum - (yFirst + yLast) * step / 2;
    a = a + (signal.TimeAt(range.first) - s) * (yFirst + yS) / 2 + (e - signal.TimeAt(range.last)) * (yLast + yE) / 2;
    a = a - (bS + bE) * (e - s) / 2;
    area = std::fabs(a);
}

const Peak& PeakTable::GetAt(int i) const {
    if (i < 0 || i >= GetSize()) throw std::out_of_range("peak index out of range");
    return peaks_[static_cast<std::size_t>(i)];
}

void PeakTable::ReadFromStream(platform::Stream& stream) {
    Archive archive(stream);
    if (archive.Size() < kSmallestTable) {
        peaks_.clear();
        return;
    }

    std::int32_t version = 0;
    std::uint64_t count = 0;
    const std::uint32_t firstMagic = archive.ReadUInt32();
    const std::uint32_t secondMagic = archive.ReadUInt32();
    if (firstMagic == kFirstMagic && secondMagic == kSecondMagic) {
        version = archive.ReadInt32();
        if (version > kLatestVersion) throw BadFormatError("unknown peak table version");
        const std::int32_t storedCount = archive.ReadInt32();
        // A count the rest of the stream cannot hold (a negative one included) would only
        // exhaust memory if it were honoured; the previous peaks stay.
        if (storedCount < 0 || static_cast<std::uint64_t>(storedCount) > archive.Remaining() / SmallestRecordSize(version))
            throw ExhaustedMemoryError("the peak count exceeds what the stream can hold");
        count = static_cast<std::uint64_t>(storedCount);
    } else {
        archive.Rewind();
        count = archive.Size() / kLegacyRecordSize;
        if (count > static_cast<std::uint64_t>(std::numeric_limits<int>::max()))
            throw ExhaustedMemoryError("the legacy table holds more peaks than can be indexed");
    }

    // Each peak is built where it stays and read into at once, rather than all built blank
    // first and then overwritten. A record that cannot be read still leaves `count` peaks: those
    // read so far, the one that failed as far as it was read, and blank ones after it.
    peaks_.clear();
    peaks_.reserve(static_cast<std::size_t>(count));
    try {
        for (std::size_t i = 0; i < count; ++i) {
            Peak& peak = peaks_.emplace_back();
            ReadRecord(archive, version, peak);
            peak.index = static_cast<std::int32_t>(i);
        }
    } catch (...) {
        peaks_.resize(static_cast<std::size_t>(count));
        throw;
    }
    if (version >= 3) {
        Attributes tableAttributes;
        ReadAttributes(archive, version, tableAttributes);
        attributes_ = std::move(tableAttributes);
    }
    DeriveLinks();
    IntegrateAll();
}

void PeakTable::DeriveLinks() {
    const std::int32_t count = GetSize();
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t next = peaks_[i].nextInGroup;
        if (next >= 0 && next < count)
            peaks_[next].prevInGroup = i;
        else
            peaks_[i].nextInGroup = -1;
    }
}

// A group runs from a peak with a successor and no predecessor along the successors. Links that
// run into a cycle end the group at the last peak before the walk would return to one it has
// already passed; a cycle that no group runs into is walked from its first peak in table order.
void PeakTable::ApplyGroupBaselines() {
    const std::int32_t count = GetSize();
    std::vector<std::int32_t> walkOf(static_cast<std::size_t>(count), -1);  // the walk that last passed a peak
    std::vector<std::int32_t> chain;

    const auto walkGroup = [&](std::int32_t first) {
        chain.clear();
        for (std::int32_t k = first; k >= 0 && walkOf[k] != first; k = peaks_[k].nextInGroup) {
            walkOf[k] = first;
            chain.push_back(k);
        }
        const double c = peaks_[first].startTime;
        const double d = peaks_[chain.back()].endTime;
        for (std::int32_t k : chain) peaks_[k].SetGroupBaseline(c, d, *signal_);
    };

    for (std::int32_t i = 0; i < count; ++i)
        if (peaks_[i].nextInGroup >= 0 && peaks_[i].prevInGroup < 0) walkGroup(i);
    for (std::int32_t i = 0; i < count; ++i)
        if (peaks_[i].nextInGroup >= 0 && walkOf[i] < 0) walkGroup(i);
}

void PeakTable::IntegrateAll() {
    if (!signal_) throw std::logic_error("the peak table has no signal to integrate against");
    ApplyGroupBaselines();
    for (Peak& peak : peaks_) peak.Integrate(*signal_);
    SubtractNestedAreas(peaks_);
}

void SubtractNestedAreas(std::vector<Peak>& peaks) {
    // The usual table lists peaks that follow one another: starts and ends both strictly
    // increasing in table order. Then no peak lies within another (of two peaks, the later one
    // ends after the earlier and the earlier starts before the later), and there is nothing to
    // subtract. Ends that are not numbers fail the comparison and take the general way.
    const auto followsInTime = [](const Peak& a, const Peak& b) { return a.startTime < b.startTime && a.endTime < b.endTime; };
    if (std::adjacent_find(peaks.begin(), peaks.end(), std::not_fn(followsInTime)) == peaks.end()) return;
    const NestingIndex index(peaks);
    std::vector<std::int32_t> nested;
    for (std::size_t i = 0; i < peaks.size(); ++i) {
        index.NestedIn(static_cast<std::int32_t>(i), nested);
        for (std::int32_t j : nested) peaks[i].area -= peaks[j].area;
    }
}

}  // namespace chromatogram
