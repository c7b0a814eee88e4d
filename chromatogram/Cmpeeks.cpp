#include "chromatogram/Cmpeeks.h"

#include "chromatogram/IntegrationKernels.h"

#include <cmath>
#include <stdexcept>

namespace chromatogram {

namespace {

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

}  // namespace

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
    const kernels::SampleSummary summary = kernels::Summarize(y + range.first, count);
    const double sum = summary.sumExact ? summary.sum : kernels::SumOneAfterAnother(y + range.first, count);
    const kernels::Deviation largest = kernels::LargestDeviation(y, range.first, range.last, {signal.startTime, step}, {s, e, bS, bE}, summary);
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

void PeakTable::IntegrateAll() {
    if (!signal_) throw std::logic_error("the peak table has no signal to integrate against");
    ApplyGroupBaselines();
    for (Peak& peak : peaks_) peak.Integrate(*signal_);
    SubtractNestedAreas(peaks_);
}

}  // namespace chromatogram
