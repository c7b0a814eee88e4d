#include "chromatogram/Lattice.h"

#include <cmath>

namespace chromatogram {

double Lattice::ValueAt(double t, double position) const {
    const std::int64_t n = static_cast<std::int64_t>(samples.size());
    if (n == 0) return 0.0;
    if (n == 1) return samples[0];

    const auto line = [&](std::int64_t k) {
        return Interpolate(t, TimeAt(k), TimeAt(k + 1), samples[static_cast<std::size_t>(k)],
                           samples[static_cast<std::size_t>(k + 1)]);
    };
    // The sample interval of t, floor(position), decided in floating point so that times far
    // outside the signal (or a zero step) never overflow the conversion to an integer. An
    // interval that cannot be told (a zero step at the start time itself) extends the first
    // two samples. Between 0 and n - 1 the conversion, which truncates, gives the floor.
    if (!(position >= 0)) return line(0);
    if (position >= static_cast<double>(n - 1)) return line(n - 2);
    return line(static_cast<std::int64_t>(position));
}

}  // namespace chromatogram
