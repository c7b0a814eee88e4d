#include "chromatogram/Cmpeeks.h"

#include "chromatogram/Archive.h"
#include "chromatogram/Errors.h"
#include "platform/Text.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
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

// Sample indices i0 .. i1 of the samples whose times lie within [s, e], clamped to the signal;
// i1 < i0 when there is none. Decided in floating point so that no quotient (infinite with a
// zero step, or far outside the signal) overflows the conversion to an integer; a quotient of
// 0 / 0 (a zero step with an end exactly at the start time) leaves that side unbounded.
struct SampleRange {
    std::int64_t first = 0;
    std::int64_t last = -1;
};

SampleRange SamplesWithin(double s, double e, const Lattice& signal) {
    SampleRange range;
    const std::int64_t n = signal.GetSize();
    if (std::isnan(s) || std::isnan(e) || n == 0) return range;
    const double first = std::ceil((s - signal.startTime) / signal.step);
    const double last = std::floor((e - signal.startTime) / signal.step);
    range.first = !(first > 0) ? 0 : first > static_cast<double>(n) ? n : static_cast<std::int64_t>(first);
    range.last = !(last < static_cast<double>(n - 1)) ? n - 1 : last < -1 ? -1 : static_cast<std::int64_t>(last);
    return range;
}

// Minimum end time over ranges of the peaks ordered by start time, so that the peaks lying
// within a given one are found without looking at every other peak.
class NestingIndex {
public:
    explicit NestingIndex(const std::vector<Peak>& peaks) : peaks_(peaks) {
        for (std::size_t i = 0; i < peaks.size(); ++i)
            if (!std::isnan(peaks[i].startTime) && !std::isnan(peaks[i].endTime))
                byStart_.push_back(static_cast<std::int32_t>(i));
        std::sort(byStart_.begin(), byStart_.end(),
                  [&](std::int32_t a, std::int32_t b) { return peaks[a].startTime < peaks[b].startTime; });
        leaves_ = 1;
        while (leaves_ < byStart_.size()) leaves_ *= 2;
        minEnd_.assign(2 * leaves_, std::numeric_limits<double>::infinity());
        for (std::size_t k = 0; k < byStart_.size(); ++k) minEnd_[leaves_ + k] = peaks[byStart_[k]].endTime;
        for (std::size_t node = leaves_ - 1; node >= 1; --node)
            minEnd_[node] = std::min(minEnd_[2 * node], minEnd_[2 * node + 1]);
    }

    // The peaks other than i that lie within peak i, in table order.
    void NestedIn(std::int32_t i, std::vector<std::int32_t>& out) const {
        out.clear();
        const Peak& outer = peaks_[i];
        if (std::isnan(outer.startTime) || std::isnan(outer.endTime) || byStart_.empty()) return;
        const auto from = std::lower_bound(byStart_.begin(), byStart_.end(), outer.startTime,
                                           [&](std::int32_t a, double s) { return peaks_[a].startTime < s; });
        Collect(1, 0, leaves_, static_cast<std::size_t>(from - byStart_.begin()), outer.endTime, out);
        std::erase(out, i);
        std::sort(out.begin(), out.end());
    }

private:
    void Collect(std::size_t node, std::size_t begin, std::size_t end, std::size_t from, double maxEnd,
                 std::vector<std::int32_t>& out) const {
        if (end <= from || begin >= byStart_.size() || !(minEnd_[node] <= maxEnd)) return;
        if (end - begin == 1) {
            out.push_back(byStart_[begin]);
            return;
        }
        const std::size_t middle = begin + (end - begin) / 2;
        Collect(2 * node, begin, middle, from, maxEnd, out);
        Collect(2 * node + 1, middle, end, from, maxEnd, out);
    }

    const std::vector<Peak>& peaks_;
    std::vector<std::int32_t> byStart_;
    std::size_t leaves_ = 1;
    std::vector<double> minEnd_;
};

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
    const SampleRange range = SamplesWithin(s, e, signal);
    const double yS = signal.ValueAt(s);
    const double yE = signal.ValueAt(e);
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
    const double x0 = signal.startTime;
    const float* y = signal.samples.data();
    double best = -DBL_MAX;
    double bestTime = 0;
    double sum = 0;
    // Whether the baseline is flat does not depend on the sample, so it is decided once.
    const auto scan = [&](auto base) {
        for (std::int64_t i = range.first; i <= range.last; ++i) {
            const double t = x0 + static_cast<double>(i) * step;
            const double yi = y[i];
            const double h = std::fabs(yi - base(t));
            // Only a strictly larger deviation moves the retention time, so the earliest of
            // equal ones stays.
            if (!(best >= h)) {
                bestTime = t;
                best = h;
            }
            sum += yi;
        }
    };
    if (e == s) {
        scan([bS](double) { return bS; });
    } else {
        const double rise = bE - bS;
        const double width = e - s;
        scan([=](double t) { return bS + (t - s) * rise / width; });
    }
    retentionTime = bestTime;
    height = best;
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

    peaks_.assign(static_cast<std::size_t>(count), Peak{});
    for (std::size_t i = 0; i < peaks_.size(); ++i) {
        ReadRecord(archive, version, peaks_[i]);
        peaks_[i].index = static_cast<std::int32_t>(i);
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
    const NestingIndex index(peaks);
    std::vector<std::int32_t> nested;
    for (std::size_t i = 0; i < peaks.size(); ++i) {
        index.NestedIn(static_cast<std::int32_t>(i), nested);
        for (std::int32_t j : nested) peaks[i].area -= peaks[j].area;
    }
}

}  // namespace chromatogram
