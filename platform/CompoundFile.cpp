#include "platform/CompoundFile.h"

#include "platform/CompoundFileFormat.h"
#include "platform/CompoundSource.h"
#include "platform/LockedFile.h"
#include "platform/Text.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace platform {

namespace {

using namespace cfb;

static_assert(std::endian::native == std::endian::little,
              "FAT sectors are copied into memory as they are stored (little-endian)");

std::uint16_t LoadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::uint32_t LoadU32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

std::uint64_t LoadU64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

std::uint64_t CeilDiv(std::uint64_t n, std::uint64_t d) { return n / d + (n % d != 0); }

// FAT sectors read ahead in one read while a long chain is followed (64 KiB of version 3 FAT).
constexpr std::uint64_t kMaxFatSectorsAhead = 127;

// A run of a stream's bytes that lies contiguously in the file.
struct Extent {
    std::uint64_t offset;
    std::uint64_t length;
};

// Appends `length` bytes at `offset`, growing the last extent when they continue it, so that a
// stream stored in consecutive sectors is read with one call per run.
void AppendExtent(std::vector<Extent>& extents, std::uint64_t offset, std::uint64_t length) {
    if (!extents.empty() && extents.back().offset + extents.back().length == offset)
        extents.back().length += length;
    else
        extents.push_back({offset, length});
}

class CompoundStream final : public Stream {
public:
    CompoundStream(std::shared_ptr<Source> source, std::vector<Extent> extents, std::uint64_t size)
        : source_(std::move(source)), extents_(std::move(extents)), size_(size) {}

    std::uint64_t Size() override {
        extent_ = extents_.size();
        withinExtent_ = 0;
        return size_;
    }

    void Rewind() override {
        extent_ = 0;
        withinExtent_ = 0;
    }

    std::size_t Read(void* buffer, std::size_t n) override {
        auto* out = static_cast<std::uint8_t*>(buffer);
        std::size_t done = 0;
        while (done < n && extent_ < extents_.size()) {
            const Extent& extent = extents_[extent_];
            const std::uint64_t chunk = std::min<std::uint64_t>(n - done, extent.length - withinExtent_);
            if (!source_->ReadAt(extent.offset + withinExtent_, out + done, static_cast<std::size_t>(chunk)))
                break;
            done += static_cast<std::size_t>(chunk);
            withinExtent_ += chunk;
            if (withinExtent_ == extent.length) {
                ++extent_;
                withinExtent_ = 0;
            }
        }
        return done;
    }

private:
    std::shared_ptr<Source> source_;
    std::vector<Extent> extents_;
    std::uint64_t size_;
    std::size_t extent_ = 0;
    std::uint64_t withinExtent_ = 0;
};

// Marks the sectors (or mini sectors, or directory entries) a walk has visited, so that a chain
// or sibling tree that comes back on itself is found instead of followed for ever.
class VisitedSet {
public:
    explicit VisitedSet(std::uint64_t count) : words_(CeilDiv(count, 64)) {}
    // False when `index` was visited before.
    bool Visit(std::uint64_t index) { return VisitRun(index, 1); }
    // Visits indices first .. first + count - 1 (count >= 1) a word at a time; false when one
    // of them was visited before, and then none is marked.
    bool VisitRun(std::uint64_t first, std::uint64_t count) {
        const std::uint64_t last = first + count - 1;
        for (std::uint64_t w = first / 64; w <= last / 64; ++w)
            if (words_[w] & RunBits(w, first, last)) return false;
        for (std::uint64_t w = first / 64; w <= last / 64; ++w) words_[w] |= RunBits(w, first, last);
        return true;
    }

private:
    // The bits of word w that indices first .. last cover.
    static std::uint64_t RunBits(std::uint64_t w, std::uint64_t first, std::uint64_t last) {
        const std::uint64_t from = w == first / 64 ? first % 64 : 0;
        const std::uint64_t to = w == last / 64 ? last % 64 : 63;
        return (~std::uint64_t{0} >> (63 - to)) & (~std::uint64_t{0} << from);
    }

    std::vector<std::uint64_t> words_;
};

class Reader;

// A chain of regular sectors followed through the FAT only as far as it is asked for (the
// mini FAT and the mini stream are read this way: only the parts a stream needs).
class LazyChain {
public:
    LazyChain(std::uint32_t first, std::uint64_t maxLength, std::uint64_t sectorCount)
        : first_(first), maxLength_(maxLength), visited_(sectorCount) {}
    // The sector at position `ordinal` of the chain; false when the chain is damaged there.
    bool At(Reader& reader, std::uint64_t ordinal, std::uint32_t* sector);

private:
    std::uint32_t first_;
    std::uint64_t maxLength_;
    VisitedSet visited_;
    std::vector<std::uint32_t> sectors_;
};

class Reader final : public CompoundFile {
public:
    Reader(std::shared_ptr<Source> source, FileSource* lock) : source_(std::move(source)), lock_(lock) {}

    ~Reader() override {
        // When no stream outlives the file object, closing the descriptor ends the lock.
        if (lock_ && source_.use_count() > 1) lock_->Unlock();
    }

    CompoundError Load();
    std::unique_ptr<Stream> OpenStream(std::string_view name, CompoundError* error) override;

    // The FAT entry of `sector` (which must lie in the file): the next sector of its chain.
    bool NextSector(std::uint32_t sector, std::uint32_t* next);
    // The entries of the FAT sector at `ordinal` in FAT order, read if need be; null when there
    // is no such FAT sector or it cannot be read. `ahead`: how many FAT sectors after this one
    // the caller's chain will need.
    const std::uint32_t* FatSector(std::uint64_t ordinal, std::uint64_t ahead);
    bool ReadFatSectors(std::size_t ordinal, std::uint64_t ahead);
    std::uint64_t SectorCount() const { return sectorCount_; }

private:
    CompoundError ReadHeader();
    CompoundError ReadDifat();
    CompoundError ReadDirectory();

    std::uint64_t SectorOffset(std::uint32_t sector) const { return (std::uint64_t{sector} + 1) * sectorSize_; }
    bool ReadSector(std::uint32_t sector, void* buffer) {
        return sector < sectorCount_ && source_->ReadAt(SectorOffset(sector), buffer, sectorSize_);
    }
    bool ReadEntrySector(std::uint32_t sector, std::vector<std::uint32_t>& entries) {
        entries.resize(entriesPerSector_);
        return ReadSector(sector, entries.data());
    }

    const std::uint8_t* Entry(std::uint32_t index) const { return directory_.data() + std::size_t{index} * kDirectoryEntrySize; }
    std::uint32_t EntryCount() const { return static_cast<std::uint32_t>(directory_.size() / kDirectoryEntrySize); }
    bool NameMatches(const std::uint8_t* entry, std::string_view name) const;
    std::uint64_t StreamSize(const std::uint8_t* entry) const;
    CompoundError FindInRootStorage(std::string_view name, std::uint32_t* found);

    CompoundError RegularExtents(std::uint32_t start, std::uint64_t size, std::vector<Extent>& extents);
    CompoundError MiniExtents(std::uint32_t start, std::uint64_t size, std::vector<Extent>& extents);
    CompoundError OpenMiniStream();
    bool NextMiniSector(std::uint32_t miniSector, std::uint32_t* next);

    std::shared_ptr<Source> source_;
    FileSource* lock_;

    int majorVersion_ = 0;
    std::uint32_t sectorSize_ = 0;
    std::uint32_t entriesPerSector_ = 0;  // of a FAT, DIFAT or mini FAT sector
    std::uint32_t entriesPerSectorShift_ = 0;
    std::uint64_t sectorCount_ = 0;       // sectors that begin inside the file
    std::uint32_t fatSectorCount_ = 0;
    std::uint32_t firstDirectorySector_ = 0;
    std::uint32_t firstMiniFatSector_ = 0;
    std::uint32_t miniFatSectorCount_ = 0;
    std::uint32_t firstDifatSector_ = 0;
    std::uint32_t headerDifat_[kHeaderDifatEntries] = {};

    std::vector<std::uint32_t> fatSectors_;                // from the DIFAT, in FAT order
    std::vector<std::vector<std::uint32_t>> fatCache_;     // FAT sectors read so far
    std::vector<std::uint8_t> directory_;

    bool miniStreamOpened_ = false;
    std::uint64_t miniSectorCount_ = 0;
    std::unique_ptr<LazyChain> miniStreamChain_;           // the root entry's chain
    std::unique_ptr<LazyChain> miniFatChain_;
    std::vector<std::vector<std::uint32_t>> miniFatCache_;
};

bool LazyChain::At(Reader& reader, std::uint64_t ordinal, std::uint32_t* sector) {
    while (sectors_.size() <= ordinal) {
        std::uint32_t next = first_;
        if (!sectors_.empty() && !reader.NextSector(sectors_.back(), &next)) return false;
        const bool chainLongerThanItsOwner = sectors_.size() >= maxLength_;
        const bool chainEndsEarlyOrLeavesTheFile = next >= reader.SectorCount();
        if (chainLongerThanItsOwner || chainEndsEarlyOrLeavesTheFile || !visited_.Visit(next)) return false;
        sectors_.push_back(next);
    }
    *sector = sectors_[ordinal];
    return true;
}

CompoundError Reader::Load() {
    if (CompoundError e = ReadHeader(); e != CompoundError::None) return e;
    if (CompoundError e = ReadDifat(); e != CompoundError::None) return e;
    return ReadDirectory();
}

CompoundError Reader::ReadHeader() {
    std::uint8_t header[kHeaderSize];
    if (source_->Size() < kHeaderSize || !source_->ReadAt(0, header, kHeaderSize))
        return CompoundError::NotCompoundFile;
    if (std::memcmp(header, kSignature, sizeof kSignature) != 0) return CompoundError::NotCompoundFile;

    majorVersion_ = LoadU16(header + kMajorVersionOffset);
    const std::uint16_t sectorShift = LoadU16(header + kSectorShiftOffset);
    // Some writers store version 3 files with the 4096-byte sectors of version 4; that one
    // mismatch is read as it stands (the stream sizes stay those of version 3). A version 4 file
    // with 512-byte sectors, or any other size, is not taken.
    const bool sectorSizeFitsVersion = (majorVersion_ == 3 && sectorShift == kSectorShiftVersion3) ||
                                       (majorVersion_ == 3 && sectorShift == kSectorShiftVersion4) ||
                                       (majorVersion_ == 4 && sectorShift == kSectorShiftVersion4);
    if (!sectorSizeFitsVersion || LoadU16(header + kByteOrderOffset) != kByteOrderMark ||
        LoadU16(header + kMiniSectorShiftOffset) != kMiniSectorShift ||
        LoadU32(header + kMiniStreamCutoffOffset) != kMiniStreamCutoff)
        return CompoundError::Corrupt;

    sectorSize_ = 1u << sectorShift;
    entriesPerSector_ = sectorSize_ / 4;
    entriesPerSectorShift_ = static_cast<std::uint32_t>(std::countr_zero(entriesPerSector_));
    // Sector n starts at (n + 1) * sectorSize; the header fills sector "-1". A partial last
    // sector counts: a stream may end inside it.
    const std::uint64_t fileSize = source_->Size();
    sectorCount_ = fileSize > sectorSize_ ? CeilDiv(fileSize - sectorSize_, sectorSize_) : 0;
    sectorCount_ = std::min<std::uint64_t>(sectorCount_, std::uint64_t{kMaxRegularSector} + 1);

    fatSectorCount_ = LoadU32(header + kFatSectorCountOffset);
    firstDirectorySector_ = LoadU32(header + kFirstDirectorySectorOffset);
    firstMiniFatSector_ = LoadU32(header + kFirstMiniFatSectorOffset);
    miniFatSectorCount_ = LoadU32(header + kMiniFatSectorCountOffset);
    firstDifatSector_ = LoadU32(header + kFirstDifatSectorOffset);
    for (std::uint32_t k = 0; k < kHeaderDifatEntries; ++k)
        headerDifat_[k] = LoadU32(header + kHeaderDifatOffset + 4 * k);

    const bool fatSectorCountFitsFile = fatSectorCount_ <= sectorCount_;
    const bool miniFatSectorCountFitsFile = miniFatSectorCount_ <= sectorCount_;
    if (!fatSectorCountFitsFile || !miniFatSectorCountFitsFile) return CompoundError::Corrupt;
    return CompoundError::None;
}

// Collects the locations of all FAT sectors: the first 109 from the header, the rest from the
// chain of DIFAT sectors. The DIFAT is about one sector per 8 MB of file, so it is read whole;
// the FAT sectors themselves are read only when a chain passes through them.
CompoundError Reader::ReadDifat() {
    fatSectors_.reserve(fatSectorCount_);
    const auto addFatSector = [&](std::uint32_t sector) {
        const bool fatSectorInsideFile = sector < sectorCount_;
        if (fatSectorInsideFile) fatSectors_.push_back(sector);
        return fatSectorInsideFile;
    };
    for (std::uint32_t k = 0; k < std::min(fatSectorCount_, kHeaderDifatEntries); ++k)
        if (!addFatSector(headerDifat_[k])) return CompoundError::Corrupt;

    if (fatSectors_.size() < fatSectorCount_) {
        VisitedSet visited(sectorCount_);
        std::vector<std::uint32_t> difat;
        std::uint32_t sector = firstDifatSector_;
        while (fatSectors_.size() < fatSectorCount_) {
            const bool difatChainEndsEarlyOrLeavesTheFile = sector >= sectorCount_;
            if (difatChainEndsEarlyOrLeavesTheFile || !visited.Visit(sector) || !ReadEntrySector(sector, difat))
                return CompoundError::Corrupt;
            const std::uint32_t perSector = entriesPerSector_ - 1;  // the last entry links to the next
            for (std::uint32_t k = 0; k < perSector && fatSectors_.size() < fatSectorCount_; ++k)
                if (!addFatSector(difat[k])) return CompoundError::Corrupt;
            sector = difat[perSector];
        }
    }
    fatCache_.resize(fatSectors_.size());
    return CompoundError::None;
}

bool Reader::NextSector(std::uint32_t sector, std::uint32_t* next) {
    const std::uint32_t* entries = FatSector(sector >> entriesPerSectorShift_, 0);
    if (!entries) return false;
    *next = entries[sector & (entriesPerSector_ - 1)];
    return true;
}

const std::uint32_t* Reader::FatSector(std::uint64_t ordinal, std::uint64_t ahead) {
    const bool sectorCoveredByFat = ordinal < fatSectors_.size();
    if (!sectorCoveredByFat) return nullptr;
    std::vector<std::uint32_t>& entries = fatCache_[ordinal];
    if (entries.empty() && !ReadFatSectors(static_cast<std::size_t>(ordinal), ahead)) return nullptr;
    return entries.data();
}

// Reads the FAT sector at `ordinal`, and with it up to `ahead` unread ones that follow it in the
// file (writers lay the FAT out in one run), in one read: following a large stream's chain then
// costs a few reads instead of one per FAT sector, while a short chain (a passport's) still
// reads one sector. A run that cannot be read whole, as at a truncated end, falls back to the
// one sector asked for, so that damage further on is found no earlier than before.
bool Reader::ReadFatSectors(std::size_t ordinal, std::uint64_t ahead) {
    std::size_t run = 1;
    while (ordinal + run < fatSectors_.size() && run <= ahead &&
           fatCache_[ordinal + run].empty() && fatSectors_[ordinal + run] == fatSectors_[ordinal] + run &&
           fatSectors_[ordinal + run] < sectorCount_)
        ++run;
    if (run > 1 && fatSectors_[ordinal] < sectorCount_) {
        std::vector<std::uint32_t> entries(run * entriesPerSector_);
        if (source_->ReadAt(SectorOffset(fatSectors_[ordinal]), entries.data(), run * sectorSize_)) {
            for (std::size_t k = 0; k < run; ++k)
                fatCache_[ordinal + k].assign(entries.begin() + static_cast<std::ptrdiff_t>(k * entriesPerSector_),
                                              entries.begin() + static_cast<std::ptrdiff_t>((k + 1) * entriesPerSector_));
            return true;
        }
    }
    std::vector<std::uint32_t>& entries = fatCache_[ordinal];
    if (!ReadEntrySector(fatSectors_[ordinal], entries)) {
        entries.clear();
        return false;
    }
    return true;
}

CompoundError Reader::ReadDirectory() {
    // The directory of a chromatogram holds a handful of entries (one or two sectors); it is
    // read whole, its chain bounded by the file and checked for loops.
    VisitedSet visited(sectorCount_);
    std::uint32_t sector = firstDirectorySector_;
    while (sector != kEndOfChain) {
        const bool directorySectorInsideFile = sector < sectorCount_;
        if (!directorySectorInsideFile || !visited.Visit(sector)) return CompoundError::Corrupt;
        const std::size_t at = directory_.size();
        directory_.resize(at + sectorSize_);
        if (!ReadSector(sector, directory_.data() + at) || !NextSector(sector, &sector)) return CompoundError::Corrupt;
    }
    const bool rootEntryPresent = EntryCount() > 0 && Entry(0)[kObjectTypeOffset] == kTypeRoot;
    return rootEntryPresent ? CompoundError::None : CompoundError::Corrupt;
}

std::uint64_t Reader::StreamSize(const std::uint8_t* entry) const {
    const std::uint64_t size = LoadU64(entry + kStreamSizeOffset);
    // Version 3 writers may leave garbage in the high half.
    return majorVersion_ == 3 ? size & 0xFFFFFFFFu : size;
}

bool Reader::NameMatches(const std::uint8_t* entry, std::string_view name) const {
    const std::uint16_t nameBytes = LoadU16(entry + kNameLengthOffset);
    const bool nameLengthValid = nameBytes >= 2 && nameBytes <= kNameBytes && nameBytes % 2 == 0;
    if (!nameLengthValid) return false;
    const std::string stored =
        DecodeUtf16Le(std::string_view(reinterpret_cast<const char*>(entry + kNameOffset), nameBytes - 2u));
    return EqualIgnoreCase(stored, name);
}

// Looks through every child of the root storage rather than descending the red-black tree by
// name order: the order is defined by an upper-casing table of the writer's system, and a
// file whose tree is sorted slightly differently must still be read.
CompoundError Reader::FindInRootStorage(std::string_view name, std::uint32_t* found) {
    VisitedSet visited(EntryCount());
    visited.Visit(0);  // a sibling link back to the root is a loop
    std::vector<std::uint32_t> pending{LoadU32(Entry(0) + kChildOffset)};
    while (!pending.empty()) {
        const std::uint32_t index = pending.back();
        pending.pop_back();
        if (index == kNoEntry) continue;
        const bool siblingInsideDirectory = index < EntryCount();
        if (!siblingInsideDirectory || !visited.Visit(index)) return CompoundError::Corrupt;
        const std::uint8_t* entry = Entry(index);
        if (entry[kObjectTypeOffset] == kTypeUnallocated) continue;
        if (NameMatches(entry, name)) {
            if (entry[kObjectTypeOffset] != kTypeStream) return CompoundError::NotFound;
            *found = index;
            return CompoundError::None;
        }
        pending.push_back(LoadU32(entry + kLeftSiblingOffset));
        pending.push_back(LoadU32(entry + kRightSiblingOffset));
    }
    return CompoundError::NotFound;
}

std::unique_ptr<Stream> Reader::OpenStream(std::string_view name, CompoundError* error) {
    std::uint32_t index = 0;
    CompoundError result = FindInRootStorage(name, &index);
    std::vector<Extent> extents;
    std::uint64_t size = 0;
    if (result == CompoundError::None) {
        const std::uint8_t* entry = Entry(index);
        size = StreamSize(entry);
        const std::uint32_t start = LoadU32(entry + kStartSectorOffset);
        result = size < kMiniStreamCutoff ? MiniExtents(start, size, extents) : RegularExtents(start, size, extents);
    }
    if (error) *error = result;
    if (result != CompoundError::None) return nullptr;
    // A short stream lies in the mini stream, 64 bytes here and there: fetched in one read.
    if (size < kMiniStreamCutoff && !extents.empty()) {
        std::uint64_t first = extents.front().offset, end = 0;
        for (const Extent& e : extents) {
            first = std::min(first, e.offset);
            end = std::max(end, e.offset + e.length);
        }
        source_->Prefetch(first, end - first);
    }
    return std::make_unique<CompoundStream>(source_, std::move(extents), size);
}

// Follows the whole chain of a stream in regular sectors once, when it is opened, so that
// reads need no FAT lookups and read each run of consecutive sectors in one call. A signal's
// chain runs through thousands of sectors, nearly all of them consecutive, so it is followed a
// run at a time: the FAT entries of a run are compared with the sectors that continue it (a
// comparison per sector that need not wait for the one before), and the whole run is then
// checked against the file and the visited sectors at once. Every sector of the chain passes
// the same checks as when it is followed one at a time.
CompoundError Reader::RegularExtents(std::uint32_t start, std::uint64_t size, std::vector<Extent>& extents) {
    const std::uint64_t needed = CeilDiv(size, sectorSize_);
    const bool streamSizeFitsFile = needed <= sectorCount_;
    if (!streamSizeFitsFile) return CompoundError::Corrupt;
    VisitedSet visited(needed > 0 ? sectorCount_ : 0);
    const std::uint32_t* fat = nullptr;  // the entries of FAT sector fatOrdinal
    std::uint64_t fatOrdinal = 0;
    // The FAT entry of a sector that lies in the file, the FAT sector read if need be; false when
    // the FAT does not cover it or cannot be read.
    const auto next = [&](std::uint32_t sector, std::uint64_t placed, std::uint32_t* successor) {
        const std::uint64_t ordinal = sector >> entriesPerSectorShift_;
        if (!fat || ordinal != fatOrdinal) {
            const std::uint64_t fatSectorsAhead = std::min<std::uint64_t>(kMaxFatSectorsAhead, (needed - placed) >> entriesPerSectorShift_);
            fat = FatSector(ordinal, fatSectorsAhead);
            if (!fat) return false;
            fatOrdinal = ordinal;
        }
        *successor = fat[sector & (entriesPerSector_ - 1)];
        return true;
    };
    std::uint32_t sector = start;
    for (std::uint64_t placed = 0; placed < needed;) {
        const bool chainEndsEarlyOrLeavesTheFile = sector >= sectorCount_;
        if (chainEndsEarlyOrLeavesTheFile) return CompoundError::Corrupt;
        // The run sector .. sector + run - 1, each the successor of the one before and all in the
        // file; successor: the FAT entry of the run's last sector, when the stream goes on.
        std::uint64_t run = 1;
        std::uint32_t successor = 0;
        while (placed + run < needed) {
            const std::uint32_t last = sector + static_cast<std::uint32_t>(run) - 1;
            if (!next(last, placed + run, &successor)) return CompoundError::Corrupt;
            if (successor != last + 1 || successor >= sectorCount_) break;
            ++run;
            // The run goes on through the entries that follow in the same FAT sector, as long as
            // each names the sector after its own: compared by position, so that no comparison
            // waits for the load of the one before. The stream's length and the file bound it.
            const std::uint32_t within = successor & (entriesPerSector_ - 1);
            if (within == 0) continue;  // the successor's entry is in the next FAT sector
            const std::uint64_t room = std::min({std::uint64_t{entriesPerSector_ - within}, needed - placed - run,
                                                 sectorCount_ - successor - 1});
            std::uint64_t more = 0;
            while (more < room && fat[within + more] == successor + 1 + more) ++more;
            run += more;
        }
        const bool chainLoops = !visited.VisitRun(sector, run);
        if (chainLoops) return CompoundError::Corrupt;
        const std::uint64_t bytes = std::min<std::uint64_t>(run * sectorSize_, size - placed * sectorSize_);
        const bool sectorBytesInsideFile = SectorOffset(sector) + bytes <= source_->Size();
        if (!sectorBytesInsideFile) return CompoundError::Corrupt;
        AppendExtent(extents, SectorOffset(sector), bytes);
        placed += run;
        sector = successor;
    }
    return CompoundError::None;
}

// The mini stream (the root entry's chain) and the mini FAT are located on first use.
CompoundError Reader::OpenMiniStream() {
    if (miniStreamOpened_) return CompoundError::None;
    const std::uint8_t* root = Entry(0);
    const std::uint64_t miniStreamSize = StreamSize(root);
    const std::uint64_t containerSectors = CeilDiv(miniStreamSize, sectorSize_);
    const bool miniStreamFitsFile = containerSectors <= sectorCount_;
    if (!miniStreamFitsFile) return CompoundError::Corrupt;
    miniSectorCount_ = CeilDiv(miniStreamSize, kMiniSectorSize);
    miniStreamChain_ = std::make_unique<LazyChain>(LoadU32(root + kStartSectorOffset), containerSectors, sectorCount_);
    miniFatChain_ = std::make_unique<LazyChain>(firstMiniFatSector_, miniFatSectorCount_, sectorCount_);
    miniFatCache_.resize(miniFatSectorCount_);
    miniStreamOpened_ = true;
    return CompoundError::None;
}

bool Reader::NextMiniSector(std::uint32_t miniSector, std::uint32_t* next) {
    const std::uint64_t ordinal = miniSector / entriesPerSector_;
    const bool miniSectorCoveredByMiniFat = ordinal < miniFatSectorCount_;
    if (!miniSectorCoveredByMiniFat) return false;
    std::vector<std::uint32_t>& entries = miniFatCache_[ordinal];
    if (entries.empty()) {
        std::uint32_t sector = 0;
        if (!miniFatChain_->At(*this, ordinal, &sector) || !ReadEntrySector(sector, entries)) {
            entries.clear();
            return false;
        }
    }
    *next = entries[miniSector % entriesPerSector_];
    return true;
}

CompoundError Reader::MiniExtents(std::uint32_t start, std::uint64_t size, std::vector<Extent>& extents) {
    const std::uint64_t needed = CeilDiv(size, kMiniSectorSize);
    if (needed == 0) return CompoundError::None;
    if (CompoundError e = OpenMiniStream(); e != CompoundError::None) return e;
    const bool streamSizeFitsMiniStream = needed <= miniSectorCount_;
    if (!streamSizeFitsMiniStream) return CompoundError::Corrupt;
    VisitedSet visited(miniSectorCount_);
    std::uint32_t miniSector = start;
    for (std::uint64_t k = 0; k < needed; ++k) {
        if (k > 0 && !NextMiniSector(miniSector, &miniSector)) return CompoundError::Corrupt;
        const bool miniChainEndsEarlyOrLeavesMiniStream = miniSector >= miniSectorCount_;
        if (miniChainEndsEarlyOrLeavesMiniStream || !visited.Visit(miniSector)) return CompoundError::Corrupt;
        const std::uint64_t position = std::uint64_t{miniSector} * kMiniSectorSize;
        std::uint32_t container = 0;
        if (!miniStreamChain_->At(*this, position / sectorSize_, &container)) return CompoundError::Corrupt;
        const std::uint64_t offset = SectorOffset(container) + position % sectorSize_;
        const std::uint64_t bytes = std::min<std::uint64_t>(kMiniSectorSize, size - k * kMiniSectorSize);
        const bool miniSectorBytesInsideFile = offset + bytes <= source_->Size();
        if (!miniSectorBytesInsideFile) return CompoundError::Corrupt;
        AppendExtent(extents, offset, bytes);
    }
    return CompoundError::None;
}

std::unique_ptr<CompoundFile> Load(std::shared_ptr<Source> source, FileSource* lock, CompoundError* error) {
    auto reader = std::make_unique<Reader>(std::move(source), lock);
    const CompoundError result = reader->Load();
    if (error) *error = result;
    if (result != CompoundError::None) return nullptr;
    return reader;
}

// Why LockedFile::Open failed, told apart afterwards: what is missing is NotFound, what cannot
// be read is AccessDenied, and a readable regular file that still failed is held by another
// opener.
CompoundError OpenFailure(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return errno == EACCES ? CompoundError::AccessDenied : CompoundError::NotFound;
    if (!S_ISREG(st.st_mode) || ::access(path.c_str(), R_OK) != 0) return CompoundError::AccessDenied;
    return CompoundError::Locked;
}

}  // namespace

std::unique_ptr<CompoundFile> CompoundFile::Open(const std::string& path, CompoundError* error, CompoundSharing sharing) {
    const auto lockKind = sharing == CompoundSharing::DenyWrite ? LockedFile::Lock::Shared : LockedFile::Lock::Exclusive;
    std::optional<LockedFile> file = LockedFile::Open(path, LockedFile::Mode::ReadOnly, nullptr, lockKind);
    if (!file) {
        if (error) *error = OpenFailure(path);
        return nullptr;
    }
    auto source = std::make_shared<FileSource>(std::move(*file));
    FileSource* lock = source.get();
    return Load(std::move(source), lock, error);
}

std::unique_ptr<CompoundFile> CompoundFile::OpenMemory(std::span<const std::uint8_t> bytes, CompoundError* error) {
    return Load(std::make_shared<MemorySource>(bytes), nullptr, error);
}

}  // namespace platform
