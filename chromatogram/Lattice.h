#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

// The sampled detector signal of a chromatogram and the straight-line interpolation used for
// signal values and peak baselines.
namespace chromatogram {

// The data system records the times of its chromatograms (the time base, the peak windows) in
// minutes, the unit its chromatogram window's time axis shows; nothing here converts them. An
// export in seconds multiplies by this.
inline constexpr double kSecondsPerMinute = 60.0;

// The straight line through (x1, y1) and (x2, y2) at x; y1 when x1 equals x2. Inline: peak
// integration evaluates it once per sample.
inline double Interpolate(double x, double x1, double x2, double y1, double y2) {
    if (x2 == x1) return y1;
    return y1 + (x - x1) * (y2 - y1) / (x2 - x1);
}

// Allocates as std::allocator does, but leaves an element that growing a vector adds
// uninitialised instead of setting it to zero: a signal is sized to its stream and read
// straight into, and zero-filling megabytes first would cost a good part of the read. Whoever
// grows such a vector must fill what it added.
template <typename T>
struct LeaveUninitialised : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = LeaveUninitialised<U>;
    };
    LeaveUninitialised() = default;
    template <typename U>
    LeaveUninitialised(const LeaveUninitialised<U>&) noexcept {}
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using Samples = std::vector<float, LeaveUninitialised<float>>;

inline bool operator==(const Samples& a, const std::vector<float>& b) { return std::equal(a.begin(), a.end(), b.begin(), b.end()); }

// A uniformly sampled signal: single-precision samples and a time base. The time of sample i is
// startTime + i * step for any i, also outside the samples; step may be zero or negative.
class Lattice {
public:
    Samples samples;
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
    // Inline: peak integration calls it twice per peak, thousands of times per file.
    double ValueAt(double t, double position) const {
        const std::int64_t n = static_cast<std::int64_t>(samples.size());
        if (n == 0) return 0.0;
        if (n == 1) return samples[0];
        // The sample interval of t, floor(position), decided in floating point so that times
        // far outside the signal (or a zero step) never overflow the conversion to an integer.
        // An interval that cannot be told (a zero step at the start time itself) extends the
        // first two samples. Between 0 and n - 1 the conversion, which truncates, gives the
        // floor.
        std::int64_t k = n - 2;
        if (!(position >= 0))
            k = 0;
        else if (position < static_cast<double>(n - 1))
            k = static_cast<std::int64_t>(position);
        return Interpolate(t, TimeAt(k), TimeAt(k + 1), samples[static_cast<std::size_t>(k)], samples[static_cast<std::size_t>(k + 1)]);
    }
};

}  // namespace chromatogram
