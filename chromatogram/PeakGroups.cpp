#include "chromatogram/Cmpeeks.h"

#include <vector>

// The group links of a peak table: each peak's successor as stored, its predecessor derived,
// and the common baseline of the peaks of one group.
namespace chromatogram {

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

}  // namespace chromatogram
