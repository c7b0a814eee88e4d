#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Test-only writer of compound files (the program itself never writes one). Builds a whole
// file image stream by stream, with switches for the variants and damages the reader must
// handle.
namespace fixtures {

struct CompoundFileOptions {
    int majorVersion = 3;  // 3: 512-byte sectors; 4: 4096-byte sectors
    // The sector shift the file is laid out with and states; 0: that of the version (version 3
    // files with shift 12 come from writers that do not keep to the version's size).
    std::uint16_t sectorShift = 0;
    // At least this many FAT sectors (the extra ones mark only free sectors). More than 109 puts
    // the locations of the rest into DIFAT sectors after the header, which otherwise only a file
    // above 7 MB (version 3) needs. 110 keeps a version 3 file below 64 KB.
    std::uint32_t minimumFatSectors = 0;
};

// Where Build put everything, so that a test can damage a file at a precise place (sector
// numbers as in the file: sector n begins at byte (n + 1) * sectorSize).
struct CompoundFileLayout {
    struct Placement {
        std::string path;          // as given to AddStream
        std::uint32_t entry;       // index of its directory entry
        bool inMiniStream;         // below 4096 bytes: its chain is in the mini FAT
        std::uint32_t startSector; // first (mini) sector; 0xFFFFFFFE for an empty stream
    };

    std::uint32_t sectorSize = 0;
    std::vector<std::uint32_t> fatSectors;
    std::vector<std::uint32_t> difatSectors;
    std::vector<std::uint32_t> directorySectors;
    std::vector<std::uint32_t> miniFatSectors;
    std::vector<std::uint32_t> miniStreamSectors;  // the root entry's chain
    std::vector<Placement> streams;               // in the order they were added

    std::uint64_t SectorOffset(std::uint32_t sector) const;
    // Offset of the FAT entry that links `sector` to the next one of its chain.
    std::uint64_t FatEntryOffset(std::uint32_t sector) const;
    std::uint64_t MiniFatEntryOffset(std::uint32_t miniSector) const;
    // Offset of a DIFAT sector's link to the next DIFAT sector (its last entry).
    std::uint64_t DifatLinkOffset(std::size_t difatSectorOrdinal) const;
    std::uint64_t DirectoryEntryOffset(std::uint32_t entry) const;
    // The stream added under `path`; throws std::out_of_range when there is none.
    const Placement& Stream(std::string_view path) const;
};

class CompoundFileWriter {
public:
    // A stream; `name` is UTF-8 (stored as UTF-16 in the directory), at most 31 UTF-16 units
    // per part. A name "Storage/Stream" puts the stream into the storage "Storage" (created on
    // first use) instead of the root storage.
    CompoundFileWriter& AddStream(std::string name, std::string bytes);
    // An empty storage (parts separated by '/', as in AddStream).
    CompoundFileWriter& AddStorage(std::string name);

    // The whole file image; `layout`, if given, receives where everything went.
    std::string Build(const CompoundFileOptions& options = {}, CompoundFileLayout* layout = nullptr) const;

    // Builds and writes the image to `path`; false when the file cannot be written.
    bool WriteTo(const std::string& path, const CompoundFileOptions& options = {}) const;

private:
    struct Entry {
        std::string name;
        std::string bytes;
        bool isStorage = false;
        std::vector<std::size_t> children;  // indexes into entries_ (storages only)
    };
    std::size_t FindOrAddStorage(std::size_t parent, const std::string& name);
    std::size_t AddChild(std::size_t parent, const std::string& name, bool isStorage);

    std::vector<Entry> entries_{Entry{"Root Entry", {}, true, {}}};
    std::vector<std::string> streamPaths_;
    std::vector<std::size_t> streamEntries_;
};

// Overwrites little-endian values inside a built image (for damaging one).
void PatchU16(std::string& image, std::uint64_t offset, std::uint16_t value);
void PatchU32(std::string& image, std::uint64_t offset, std::uint32_t value);
void PatchU64(std::string& image, std::uint64_t offset, std::uint64_t value);

}  // namespace fixtures
