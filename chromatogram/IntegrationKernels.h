#pragma once

#include "chromatogram/Lattice.h"

#include <cfloat>
#include <cstddef>
#include <cstdint>

// The loops over a peak's samples that integration spends its time in: the sum of the samples
// and the largest deviation from the baseline, each giving to the last bit what the plain loop
// over the samples in index order gives (the reasons are in IntegrationKernels.cpp). Pure
// functions over the caller's samples; safe on any thread.
namespace chromatogram::kernels {

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

// What one pass over a run of samples tells.
struct SampleSummary {
    double sum = 0;         // the samples added in some grouping
    bool sumExact = false;  // ... which equals their sum in index order
    bool finite = false;    // no sample is infinite or not a number
    float lowest = 0;       // the smallest and largest sample, when finite
    float highest = 0;
};

// One pass over samples[0 .. count - 1] (count at least 1).
SampleSummary Summarize(const float* samples, std::size_t count);

// samples[0] + ... + samples[count - 1] added one after another, in index order.
double SumOneAfterAnother(const float* samples, std::size_t count);

// The largest deviation of samples y[first .. last] (first <= last) from the baseline `line`,
// with the sample times `times` and `summary` that of the same samples, as the sequential rule
// finds it over the samples in index order.
Deviation LargestDeviation(const float* y, std::int64_t first, std::int64_t last, const Times& times, const PeakLine& line,
                           const SampleSummary& summary);

}  // namespace chromatogram::kernels
