#pragma once

#include "chromatogram/Lattice.h"
#include "platform/Stream.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The component peak table of a chromatogram: where each peak begins and ends, its component
// name and its group links, as the "Table" stream stores them, and the baselines, areas,
// heights and retention times computed from the signal when the table is loaded.
namespace chromatogram {

// Ordered (key, value) pairs kept with a peak or a table; nothing in the system interprets them.
using Attributes = std::vector<std::pair<std::string, std::string>>;

class Peak {
public:
    double retentionTime = 0;    // time of the sample of largest deviation from the baseline
    double area = 0;             // |integrated area|, less the areas of the peaks nested in it
    double height = 0;           // largest absolute deviation of a sample from the baseline
    double extraValue = 0;
    std::string name;            // component name; empty for a peak without component
    std::int32_t index = 0;      // position in the table
    std::int32_t extraCode = 0;
    std::int32_t prevInGroup = -1;
    std::int32_t nextInGroup = -1;
    double baselineAtEnd = 0;
    double baselineAtStart = 0;
    double startTime = 0;
    double endTime = 0;
    Attributes attributes;

    // Sets the baseline ends from the straight line through the signal at c and at d, the
    // start of the group's first peak and the end of its last.
    void SetGroupBaseline(double c, double d, const Lattice& signal);
    // Computes the retention time, height and area against the baseline; an isolated peak first
    // takes its baseline from the signal at its own ends.
    void Integrate(const Lattice& signal);
};

class PeakTable {
public:
    PeakTable() = default;
    PeakTable(const PeakTable&) = default;
    PeakTable& operator=(const PeakTable&) = default;
    virtual ~PeakTable() = default;

    // The signal the peaks are integrated against; not owned, set before loading.
    void SetSignal(const Lattice* signal) { signal_ = signal; }
    const Lattice* Signal() const { return signal_; }

    // Loads the "Table" stream and integrates every peak. Raises BadFormatError, EndOfDataError,
    // StreamReadError or ExhaustedMemoryError; what is left then is described with each check.
    void ReadFromStream(platform::Stream& stream);

    // Recomputes baselines, areas, heights and retention times of all peaks from the signal.
    void IntegrateAll();

    int GetSize() const { return static_cast<int>(peaks_.size()); }
    // Peak i; raises std::out_of_range outside 0 .. GetSize() - 1.
    const Peak& GetAt(int i) const;
    const std::vector<Peak>& Peaks() const { return peaks_; }
    std::vector<Peak>::const_iterator begin() const { return peaks_.begin(); }
    std::vector<Peak>::const_iterator end() const { return peaks_.end(); }
    const Attributes& GetAttributes() const { return attributes_; }

private:
    void DeriveLinks();
    void ApplyGroupBaselines();

    std::vector<Peak> peaks_;
    const Lattice* signal_ = nullptr;
    Attributes attributes_;
};

// samples[0] + samples[1] + ... + samples[count - 1] in double precision, added in that order.
double SumInOrder(const float* samples, std::size_t count);

// The last step of IntegrateAll: for each peak in table order, subtracts in table order the
// current areas of all other peaks that lie within it (start and end inclusive). A peak that
// comes earlier in the table has by then lost its own nested areas; a later one has not.
void SubtractNestedAreas(std::vector<Peak>& peaks);

}  // namespace chromatogram
