#include "support/CompoundFileWriter.h"

#include "platform/CompoundFileFormat.h"
#include "platform/Text.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace fixtures {

namespace {

using namespace platform::cfb;

std::uint64_t CeilDiv(std::uint64_t n, std::uint64_t d) { return (n + d - 1) / d; }

std::u16string ToUtf16(const std::string& utf8) {
    std::u16string out(utf8.size() + 1, u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8(out.data(), static_cast<int32_t>(out.size()), &length, utf8.data(),
                  static_cast<int32_t>(utf8.size()), &status);
    if (U_FAILURE(status)) throw std::invalid_argument("compound file name is not UTF-8: " + utf8);
    out.resize(static_cast<std::size_t>(length));
    return out;
}

// The order of siblings in a storage's red-black tree: shorter names first, then by the
// upper-cased UTF-16 code units.
bool SiblingLess(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return a.size() < b.size();
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<char16_t>(u_toupper(a[i])), y = static_cast<char16_t>(u_toupper(b[i]));
        if (x != y) return x < y;
    }
    return false;
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t begin = 0;
    while (true) {
        const std::size_t slash = path.find('/', begin);
        parts.push_back(path.substr(begin, slash - begin));
        if (slash == std::string::npos) break;
        begin = slash + 1;
    }
    for (const std::string& part : parts)
        if (part.empty()) throw std::invalid_argument("empty part in compound file path: " + path);
    return parts;
}

void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Put64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Sector allocation of the image, in file order: FAT, DIFAT, directory, mini FAT, the mini
// stream, then each large stream in consecutive sectors.
struct Plan {
    std::uint32_t sectorSize = 0;
    std::uint32_t entriesPerSector = 0;  // FAT, DIFAT and mini FAT entries per sector
    std::uint32_t next = 0;              // the next free sector
    std::vector<std::uint32_t> fat;      // one entry per sector of the image

    std::vector<std::uint32_t> Allocate(std::uint64_t count, std::uint32_t marker) {
        std::vector<std::uint32_t> sectors;
        for (std::uint64_t k = 0; k < count; ++k) sectors.push_back(next++);
        for (std::size_t k = 0; k < sectors.size(); ++k)
            fat[sectors[k]] = marker != 0 ? marker : (k + 1 < sectors.size() ? sectors[k + 1] : kEndOfChain);
        return sectors;
    }
};

}  // namespace

std::uint64_t CompoundFileLayout::SectorOffset(std::uint32_t sector) const {
    return (std::uint64_t{sector} + 1) * sectorSize;
}

std::uint64_t CompoundFileLayout::FatEntryOffset(std::uint32_t sector) const {
    const std::uint32_t perSector = sectorSize / 4;
    return SectorOffset(fatSectors.at(sector / perSector)) + 4 * (sector % perSector);
}

std::uint64_t CompoundFileLayout::MiniFatEntryOffset(std::uint32_t miniSector) const {
    const std::uint32_t perSector = sectorSize / 4;
    return SectorOffset(miniFatSectors.at(miniSector / perSector)) + 4 * (miniSector % perSector);
}

std::uint64_t CompoundFileLayout::DifatLinkOffset(std::size_t difatSectorOrdinal) const {
    return SectorOffset(difatSectors.at(difatSectorOrdinal)) + sectorSize - 4;
}

std::uint64_t CompoundFileLayout::DirectoryEntryOffset(std::uint32_t entry) const {
    const std::uint32_t perSector = sectorSize / kDirectoryEntrySize;
    return SectorOffset(directorySectors.at(entry / perSector)) + kDirectoryEntrySize * (entry % perSector);
}

const CompoundFileLayout::Placement& CompoundFileLayout::Stream(std::string_view path) const {
    for (const Placement& p : streams)
        if (p.path == path) return p;
    throw std::out_of_range("no stream " + std::string(path) + " in the layout");
}

std::size_t CompoundFileWriter::AddChild(std::size_t parent, const std::string& name, bool isStorage) {
    if (ToUtf16(name).size() > kNameBytes / 2 - 1) throw std::invalid_argument("compound file name too long: " + name);
    for (std::size_t child : entries_[parent].children)
        if (platform::EqualIgnoreCase(entries_[child].name, name))
            throw std::invalid_argument("duplicate compound file name: " + name);
    entries_.push_back(Entry{name, {}, isStorage, {}});
    entries_[parent].children.push_back(entries_.size() - 1);
    return entries_.size() - 1;
}

std::size_t CompoundFileWriter::FindOrAddStorage(std::size_t parent, const std::string& name) {
    for (std::size_t child : entries_[parent].children)
        if (entries_[child].isStorage && entries_[child].name == name) return child;
    return AddChild(parent, name, true);
}

CompoundFileWriter& CompoundFileWriter::AddStorage(std::string name) {
    std::size_t at = 0;
    for (const std::string& part : SplitPath(name)) at = FindOrAddStorage(at, part);
    return *this;
}

CompoundFileWriter& CompoundFileWriter::AddStream(std::string name, std::string bytes) {
    std::vector<std::string> parts = SplitPath(name);
    std::size_t at = 0;
    for (std::size_t k = 0; k + 1 < parts.size(); ++k) at = FindOrAddStorage(at, parts[k]);
    const std::size_t entry = AddChild(at, parts.back(), false);
    entries_[entry].bytes = std::move(bytes);
    streamPaths_.push_back(std::move(name));
    streamEntries_.push_back(entry);
    return *this;
}

std::string CompoundFileWriter::Build(const CompoundFileOptions& options, CompoundFileLayout* layoutOut) const {
    if (options.majorVersion != 3 && options.majorVersion != 4)
        throw std::invalid_argument("compound file version must be 3 or 4");
    Plan plan;
    const std::uint16_t sectorShift =
        options.sectorShift != 0 ? options.sectorShift : options.majorVersion == 3 ? kSectorShiftVersion3 : kSectorShiftVersion4;
    plan.sectorSize = 1u << sectorShift;
    plan.entriesPerSector = plan.sectorSize / 4;
    const std::uint32_t entriesPerDirectorySector = plan.sectorSize / kDirectoryEntrySize;

    // Small streams go one after another into the mini stream, each from a fresh mini sector.
    std::vector<std::uint32_t> miniStart(entries_.size(), kEndOfChain);
    std::uint64_t miniSectors = 0;
    std::uint64_t regularSectors = 0;
    for (std::size_t e : streamEntries_) {
        const std::uint64_t size = entries_[e].bytes.size();
        if (size == 0) continue;
        if (size < kMiniStreamCutoff) {
            miniStart[e] = static_cast<std::uint32_t>(miniSectors);
            miniSectors += CeilDiv(size, kMiniSectorSize);
        } else {
            regularSectors += CeilDiv(size, plan.sectorSize);
        }
    }
    const std::uint64_t directorySectors = CeilDiv(entries_.size(), entriesPerDirectorySector);
    const std::uint64_t miniFatSectors = CeilDiv(miniSectors, plan.entriesPerSector);
    const std::uint64_t miniStreamSectors = CeilDiv(miniSectors * kMiniSectorSize, plan.sectorSize);
    const std::uint64_t payload = directorySectors + miniFatSectors + miniStreamSectors + regularSectors;

    // The FAT must cover itself and the DIFAT too: grow both until they suffice.
    std::uint64_t fatSectors = std::max<std::uint64_t>(options.minimumFatSectors, 1), difatSectors = 0;
    while (true) {
        difatSectors = fatSectors > kHeaderDifatEntries
                           ? CeilDiv(fatSectors - kHeaderDifatEntries, plan.entriesPerSector - 1)
                           : 0;
        const std::uint64_t needed = CeilDiv(fatSectors + difatSectors + payload, plan.entriesPerSector);
        if (needed <= fatSectors) break;
        fatSectors = needed;
    }
    const std::uint64_t totalSectors = fatSectors + difatSectors + payload;
    plan.fat.assign(fatSectors * plan.entriesPerSector, kFreeSector);

    CompoundFileLayout layout;
    layout.sectorSize = plan.sectorSize;
    layout.fatSectors = plan.Allocate(fatSectors, kFatSector);
    layout.difatSectors = plan.Allocate(difatSectors, kDifatSector);
    layout.directorySectors = plan.Allocate(directorySectors, 0);
    layout.miniFatSectors = plan.Allocate(miniFatSectors, 0);
    layout.miniStreamSectors = plan.Allocate(miniStreamSectors, 0);
    std::vector<std::uint32_t> regularStart(entries_.size(), kEndOfChain);
    for (std::size_t e : streamEntries_) {
        const std::uint64_t size = entries_[e].bytes.size();
        if (size >= kMiniStreamCutoff) regularStart[e] = plan.Allocate(CeilDiv(size, plan.sectorSize), 0).front();
    }

    std::string image((totalSectors + 1) * plan.sectorSize, '\0');
    auto* bytes = reinterpret_cast<std::uint8_t*>(image.data());
    const auto sectorData = [&](std::uint32_t sector) { return bytes + layout.SectorOffset(sector); };

    // Header.
    std::memcpy(bytes, kSignature, sizeof kSignature);
    Put16(bytes + kMinorVersionOffset, kMinorVersion);
    Put16(bytes + kMajorVersionOffset, static_cast<std::uint16_t>(options.majorVersion));
    Put16(bytes + kByteOrderOffset, kByteOrderMark);
    Put16(bytes + kSectorShiftOffset, sectorShift);
    Put16(bytes + kMiniSectorShiftOffset, kMiniSectorShift);
    Put32(bytes + kDirectorySectorCountOffset, options.majorVersion == 3 ? 0 : static_cast<std::uint32_t>(directorySectors));
    Put32(bytes + kFatSectorCountOffset, static_cast<std::uint32_t>(fatSectors));
    Put32(bytes + kFirstDirectorySectorOffset, layout.directorySectors.front());
    Put32(bytes + kMiniStreamCutoffOffset, kMiniStreamCutoff);
    Put32(bytes + kFirstMiniFatSectorOffset, miniFatSectors ? layout.miniFatSectors.front() : kEndOfChain);
    Put32(bytes + kMiniFatSectorCountOffset, static_cast<std::uint32_t>(miniFatSectors));
    Put32(bytes + kFirstDifatSectorOffset, difatSectors ? layout.difatSectors.front() : kEndOfChain);
    Put32(bytes + kDifatSectorCountOffset, static_cast<std::uint32_t>(difatSectors));
    for (std::uint32_t k = 0; k < kHeaderDifatEntries; ++k)
        Put32(bytes + kHeaderDifatOffset + 4 * k, k < fatSectors ? layout.fatSectors[k] : kFreeSector);

    // DIFAT sectors: the FAT sector locations beyond the header's 109, and a link to the next.
    const std::uint32_t perDifatSector = plan.entriesPerSector - 1;
    for (std::size_t d = 0; d < layout.difatSectors.size(); ++d) {
        std::uint8_t* p = sectorData(layout.difatSectors[d]);
        for (std::uint32_t k = 0; k < perDifatSector; ++k) {
            const std::uint64_t ordinal = kHeaderDifatEntries + d * perDifatSector + k;
            Put32(p + 4 * k, ordinal < fatSectors ? layout.fatSectors[ordinal] : kFreeSector);
        }
        Put32(p + 4 * perDifatSector, d + 1 < layout.difatSectors.size() ? layout.difatSectors[d + 1] : kEndOfChain);
    }

    // FAT and mini FAT.
    for (std::size_t k = 0; k < plan.fat.size(); ++k)
        Put32(sectorData(layout.fatSectors[k / plan.entriesPerSector]) + 4 * (k % plan.entriesPerSector), plan.fat[k]);
    for (std::uint64_t m = 0; m < miniFatSectors * plan.entriesPerSector; ++m)
        Put32(sectorData(layout.miniFatSectors[m / plan.entriesPerSector]) + 4 * (m % plan.entriesPerSector), kFreeSector);
    const auto streamBytes = [&](std::uint64_t position) {  // a byte of the mini stream
        return sectorData(layout.miniStreamSectors[position / plan.sectorSize]) + position % plan.sectorSize;
    };
    for (std::size_t e : streamEntries_) {
        const std::string& data = entries_[e].bytes;
        if (miniStart[e] != kEndOfChain) {
            const std::uint64_t count = CeilDiv(data.size(), kMiniSectorSize);
            for (std::uint64_t k = 0; k < count; ++k) {
                const auto m = static_cast<std::uint32_t>(miniStart[e] + k);
                Put32(sectorData(layout.miniFatSectors[m / plan.entriesPerSector]) + 4 * (m % plan.entriesPerSector),
                      k + 1 < count ? m + 1 : kEndOfChain);
                const std::size_t chunk = std::min<std::size_t>(kMiniSectorSize, data.size() - k * kMiniSectorSize);
                std::memcpy(streamBytes(std::uint64_t{m} * kMiniSectorSize), data.data() + k * kMiniSectorSize, chunk);
            }
        } else if (regularStart[e] != kEndOfChain) {
            std::memcpy(sectorData(regularStart[e]), data.data(), data.size());
        }
    }

    // Directory: every storage's children as a balanced binary tree in sibling order, coloured
    // as a red-black tree (the deepest level red when it is not full).
    std::vector<std::uint32_t> left(entries_.size(), kNoEntry), right(entries_.size(), kNoEntry),
        child(entries_.size(), kNoEntry);
    std::vector<std::uint8_t> color(entries_.size(), kColorBlack);
    for (std::size_t s = 0; s < entries_.size(); ++s) {
        std::vector<std::size_t> kids = entries_[s].children;
        if (kids.empty()) continue;
        std::sort(kids.begin(), kids.end(), [&](std::size_t a, std::size_t b) {
            return SiblingLess(ToUtf16(entries_[a].name), ToUtf16(entries_[b].name));
        });
        std::vector<std::pair<std::size_t, int>> depths;
        const auto build = [&](auto&& self, std::size_t lo, std::size_t hi, int depth) -> std::uint32_t {
            if (lo >= hi) return kNoEntry;
            const std::size_t mid = lo + (hi - lo) / 2;
            const std::size_t node = kids[mid];
            depths.emplace_back(node, depth);
            left[node] = self(self, lo, mid, depth + 1);
            right[node] = self(self, mid + 1, hi, depth + 1);
            return static_cast<std::uint32_t>(node);
        };
        child[s] = build(build, 0, kids.size(), 0);
        int deepest = 0;
        for (const auto& [node, depth] : depths) deepest = std::max(deepest, depth);
        const bool full = kids.size() == (std::size_t{1} << (deepest + 1)) - 1;
        if (!full)
            for (const auto& [node, depth] : depths)
                if (depth == deepest) color[node] = kColorRed;
    }
    for (std::uint32_t e = 0; e < directorySectors * entriesPerDirectorySector; ++e) {
        std::uint8_t* p = bytes + layout.DirectoryEntryOffset(e);
        Put32(p + kLeftSiblingOffset, kNoEntry);
        Put32(p + kRightSiblingOffset, kNoEntry);
        Put32(p + kChildOffset, kNoEntry);
        if (e >= entries_.size()) continue;
        const Entry& entry = entries_[e];
        const std::u16string name = ToUtf16(entry.name);
        for (std::size_t k = 0; k < name.size(); ++k) Put16(p + kNameOffset + 2 * k, name[k]);
        Put16(p + kNameLengthOffset, static_cast<std::uint16_t>(2 * (name.size() + 1)));
        p[kObjectTypeOffset] = e == 0 ? kTypeRoot : (entry.isStorage ? kTypeStorage : kTypeStream);
        p[kColorOffset] = color[e];
        Put32(p + kLeftSiblingOffset, left[e]);
        Put32(p + kRightSiblingOffset, right[e]);
        Put32(p + kChildOffset, child[e]);
        if (e == 0) {
            Put32(p + kStartSectorOffset, miniStreamSectors ? layout.miniStreamSectors.front() : kEndOfChain);
            Put64(p + kStreamSizeOffset, miniSectors * kMiniSectorSize);
        } else if (!entry.isStorage) {
            Put32(p + kStartSectorOffset, miniStart[e] != kEndOfChain ? miniStart[e] : regularStart[e]);
            Put64(p + kStreamSizeOffset, entry.bytes.size());
        }
    }

    for (std::size_t k = 0; k < streamEntries_.size(); ++k) {
        const std::size_t e = streamEntries_[k];
        const bool mini = miniStart[e] != kEndOfChain;
        layout.streams.push_back({streamPaths_[k], static_cast<std::uint32_t>(e), mini,
                                  mini ? miniStart[e] : regularStart[e]});
    }
    if (layoutOut) *layoutOut = std::move(layout);
    return image;
}

bool CompoundFileWriter::WriteTo(const std::string& path, const CompoundFileOptions& options) const {
    const std::string image = Build(options);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(image.data(), static_cast<std::streamsize>(image.size()));
    return static_cast<bool>(out.flush());
}

namespace {

std::uint8_t* PatchTarget(std::string& image, std::uint64_t offset, std::size_t width) {
    if (offset > image.size() || width > image.size() - offset) throw std::out_of_range("patch beyond the image");
    return reinterpret_cast<std::uint8_t*>(image.data() + offset);
}

}  // namespace

void PatchU16(std::string& image, std::uint64_t offset, std::uint16_t value) { Put16(PatchTarget(image, offset, 2), value); }
void PatchU32(std::string& image, std::uint64_t offset, std::uint32_t value) { Put32(PatchTarget(image, offset, 4), value); }
void PatchU64(std::string& image, std::uint64_t offset, std::uint64_t value) { Put64(PatchTarget(image, offset, 8), value); }

}  // namespace fixtures
