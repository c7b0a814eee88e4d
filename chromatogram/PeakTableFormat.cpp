#include "chromatogram/Cmpeeks.h"

#include "chromatogram/Archive.h"
#include "chromatogram/Errors.h"
#include "platform/Text.h"

#include <cstring>
#include <limits>
#include <unordered_set>

// The "Table" stream's format: a header (two magic numbers, a version, a count) followed by the
// records of that version, or, without the header, the fixed records of the legacy form.
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

}  // namespace

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

}  // namespace chromatogram
