#include "chromatogram/Cmpeeks.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace chromatogram {

namespace {

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

}  // namespace

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
