#pragma once

#include <cstdint>
#include <vector>

// The sampled detector signal of a chromatogram and the straight-line interpolation used for
// signal values and peak baselines.
namespace chromatogram {

// The straight line through (x1, y1) and (x2, y2) at x; y1 when x1 equals x2. Inline: peak
// integration evaluates it once per sample.
inline double Interpolate(double x, double x1, double x2, double y1, double y2) {
    if (x2 == x1) return y1;
    return y1 + (x - x1) * (y2 - y1) / (x2 - x1);
}

// A uniformly sampled signal: single-precision samples and a time base. The time of sample i is
// startTime + i * step for any i, also outside the samples; step may be zero or negative.
class Lattice {
public:
    std::vector<float> samples;
    double startTime = 0.0;
    double step = 1.0;

    int GetSize() const { return static_cast<int>(samples.size()); }
    // Sample i; i must lie in 0 .. GetSize() - 1.
    float GetAt(int i) const { return samples[static_cast<std::size_t>(i)]; }
    double TimeAt(std::int64_t i) const { return startTime + static_cast<double>(i) * step; }
    void SetTimeBase(double newStep, double newStartTime) {
        step = newStep;
        startTime = newStartTime;
    }

    // The signal at time t: linear interpolation between the two neighbouring samples, and the
    // line through the first or last two samples extended beyond them. A signal of fewer than
    // two samples is taken as flat: its one sample everywhere, or 0 when it has none.
    double ValueAt(double t) const { return ValueAt(t, (t - startTime) / step); }
    // The same for a caller that has t's position in samples, (t - startTime) / step, already.
    double ValueAt(double t, double position) const;
};

}  // namespace chromatogram
