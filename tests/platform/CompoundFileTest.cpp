#include "platform/CompoundFile.h"

#include "platform/CompoundFileFormat.h"
#include "platform/LockedFile.h"
#include "support/CompoundFileWriter.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cctype>
#include <cstring>
#include <functional>
#include <span>

#include <unistd.h>

namespace {

using fixtures::CompoundFileLayout;
using fixtures::CompoundFileOptions;
using fixtures::CompoundFileWriter;
using platform::CompoundError;
using platform::CompoundFile;
namespace cfb = platform::cfb;

std::span<const std::uint8_t> Bytes(const std::string& image) {
    return {reinterpret_cast<const std::uint8_t*>(image.data()), image.size()};
}

// A recognisable pattern, different for every stream and position.
std::string Pattern(std::size_t size, unsigned seed) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 131 + seed * 17 + i / 251) & 0xFF);
    return out;
}

// The whole stream as the chromatogram reader takes it: size by seeking to the end, rewind,
// then reads of `chunk` bytes.
std::string ReadAll(platform::Stream& stream, std::size_t chunk) {
    const std::uint64_t size = stream.Size();
    stream.Rewind();
    std::string out;
    std::string buffer(chunk, '\0');
    while (true) {
        const std::size_t got = stream.Read(buffer.data(), chunk);
        out.append(buffer, 0, got);
        if (got < chunk) break;
    }
    EXPECT_EQ(out.size(), size);
    return out;
}

// The image opened from memory or, written to a file, from the file: the two read differently
// (the file a few pages at a time), and must answer alike.
enum class Source { Memory, File };

std::unique_ptr<CompoundFile> OpenImage(const std::string& image, Source source, const fixtures::TempDir& dir,
                                        CompoundError* error = nullptr) {
    if (source == Source::Memory) return CompoundFile::OpenMemory(Bytes(image), error);
    return CompoundFile::Open(dir.WriteFile("image.cfb", image), error);
}

std::string ReadStream(CompoundFile& file, std::string_view name, std::size_t chunk = 1 << 20) {
    CompoundError error = CompoundError::None;
    auto stream = file.OpenStream(name, &error);
    EXPECT_TRUE(stream) << name << ": error " << static_cast<int>(error);
    return stream ? ReadAll(*stream, chunk) : std::string();
}

// Streams on both sides of the mini-stream cutoff, an empty one, a Cyrillic name, and enough
// entries for a directory of more than one sector.
struct Contents {
    std::vector<std::pair<std::string, std::string>> streams{
        {"Raw_data", Pattern(10000, 1)}, {"Time", Pattern(12, 2)},       {"Table", Pattern(4095, 3)},
        {"Passport", Pattern(4096, 4)},  {"Empty", ""},                  {"Кириллица", Pattern(700, 5)},
        {"Tail", Pattern(65, 6)},
    };
    CompoundFileWriter Writer() const {
        CompoundFileWriter writer;
        for (const auto& [name, bytes] : streams) writer.AddStream(name, bytes);
        return writer;
    }
};

class CompoundFileVersions : public ::testing::TestWithParam<int> {};

TEST_P(CompoundFileVersions, ReadsEveryStreamWhateverTheChunking) {
    const Contents contents;
    const std::string image = contents.Writer().Build({.majorVersion = GetParam()});
    fixtures::TempDir dir;
    for (Source source : {Source::Memory, Source::File}) {
        auto file = OpenImage(image, source, dir);
        ASSERT_TRUE(file);
        for (const auto& [name, bytes] : contents.streams) {
            for (std::size_t chunk : {std::size_t{1} << 20, std::size_t{1}, std::size_t{63}, std::size_t{1000}}) {
                EXPECT_EQ(ReadStream(*file, name, chunk), bytes)
                    << name << " in chunks of " << chunk << (source == Source::File ? " from the file" : "");
            }
        }
    }
}

TEST_P(CompoundFileVersions, RewindsAndReadsAgain) {
    const Contents contents;
    const std::string image = contents.Writer().Build({.majorVersion = GetParam()});
    auto file = CompoundFile::OpenMemory(Bytes(image));
    ASSERT_TRUE(file);
    auto stream = file->OpenStream("Raw_data");
    ASSERT_TRUE(stream);
    std::string head(700, '\0');
    ASSERT_EQ(stream->Read(head.data(), head.size()), head.size());
    EXPECT_EQ(stream->Size(), 10000u);
    EXPECT_EQ(stream->Read(head.data(), 1), 0u);  // at the end after the size
    stream->Rewind();
    std::string all(20000, '\0');
    ASSERT_EQ(stream->Read(all.data(), all.size()), 10000u);
    all.resize(10000);
    EXPECT_EQ(all, contents.streams[0].second);
}

TEST_P(CompoundFileVersions, FindsNamesIgnoringCaseInTheRootStorageOnly) {
    CompoundFileWriter writer;
    writer.AddStream("Raw_data", "r").AddStream("Этанол", "e").AddStream("Data/Inner", "i").AddStorage("Passport");
    const std::string image = writer.Build({.majorVersion = GetParam()});
    auto file = CompoundFile::OpenMemory(Bytes(image));
    ASSERT_TRUE(file);
    EXPECT_EQ(ReadStream(*file, "RAW_DATA"), "r");
    EXPECT_EQ(ReadStream(*file, "raw_Data"), "r");
    EXPECT_EQ(ReadStream(*file, "ЭТАНОЛ"), "e");
    for (const char* name : {"Inner", "Data/Inner", "Data", "Passport", "Raw_dat", "Raw_data2", ""}) {
        CompoundError error = CompoundError::None;
        EXPECT_FALSE(file->OpenStream(name, &error)) << name;
        EXPECT_EQ(error, CompoundError::NotFound) << name;
    }
}

// Sectors out of physical order: the chain, not the file order, decides what a stream holds.
TEST_P(CompoundFileVersions, FollowsChainsThatJumpAround) {
    const std::string big = Pattern(5 * 4096, 7), small = Pattern(5 * 64, 8);
    CompoundFileWriter writer;
    writer.AddStream("Big", big).AddStream("Small", small);
    CompoundFileLayout layout;
    std::string image = writer.Build({.majorVersion = GetParam()}, &layout);
    const std::uint32_t sectorSize = layout.sectorSize;

    // Big: swap its second and third sectors and relink first -> third -> second -> fourth.
    const std::uint32_t b = layout.Stream("Big").startSector;
    const auto swapBytes = [&](std::uint64_t x, std::uint64_t y, std::size_t n) {
        std::string tmp = image.substr(x, n);
        image.replace(x, n, image, y, n);
        image.replace(y, n, tmp);
    };
    swapBytes(layout.SectorOffset(b + 1), layout.SectorOffset(b + 2), sectorSize);
    fixtures::PatchU32(image, layout.FatEntryOffset(b), b + 2);
    fixtures::PatchU32(image, layout.FatEntryOffset(b + 2), b + 1);
    fixtures::PatchU32(image, layout.FatEntryOffset(b + 1), b + 3);

    // Small: the same with its mini sectors 1 and 3.
    const std::uint32_t m = layout.Stream("Small").startSector;
    const auto miniOffset = [&](std::uint32_t mini) {
        const std::uint64_t position = std::uint64_t{mini} * 64;
        return layout.SectorOffset(layout.miniStreamSectors[position / sectorSize]) + position % sectorSize;
    };
    swapBytes(miniOffset(m + 1), miniOffset(m + 3), 64);
    fixtures::PatchU32(image, layout.MiniFatEntryOffset(m), m + 3);
    fixtures::PatchU32(image, layout.MiniFatEntryOffset(m + 3), m + 2);
    fixtures::PatchU32(image, layout.MiniFatEntryOffset(m + 2), m + 1);
    fixtures::PatchU32(image, layout.MiniFatEntryOffset(m + 1), m + 4);

    auto file = CompoundFile::OpenMemory(Bytes(image));
    ASSERT_TRUE(file);
    EXPECT_EQ(ReadStream(*file, "Big"), big);
    EXPECT_EQ(ReadStream(*file, "Small"), small);
}

INSTANTIATE_TEST_SUITE_P(, CompoundFileVersions, ::testing::Values(3, 4),
                         [](const auto& info) { return "Version" + std::to_string(info.param); });

// Some writers store version 3 files with 4096-byte sectors; such a file reads whole, and its
// stream sizes are still those of version 3 (the low four bytes).
TEST(CompoundFile, ReadsVersion3FilesWithFourKilobyteSectors) {
    const Contents contents;
    CompoundFileLayout layout;
    std::string image = contents.Writer().Build({.majorVersion = 3, .sectorShift = cfb::kSectorShiftVersion4}, &layout);
    ASSERT_EQ(layout.sectorSize, 4096u);
    fixtures::PatchU32(image, layout.DirectoryEntryOffset(layout.Stream("Raw_data").entry) + cfb::kStreamSizeOffset + 4, 1);
    fixtures::TempDir dir;
    for (Source source : {Source::Memory, Source::File}) {
        auto file = OpenImage(image, source, dir);
        ASSERT_TRUE(file);
        for (const auto& [name, bytes] : contents.streams) EXPECT_EQ(ReadStream(*file, name), bytes) << name;
    }
}

TEST(CompoundFile, ReadsFatSectorsListedInDifatSectors) {
    // A small file whose FAT sectors spill into DIFAT sectors.
    const Contents contents;
    CompoundFileLayout layout;
    const std::string small = contents.Writer().Build({.minimumFatSectors = 237}, &layout);
    EXPECT_EQ(layout.difatSectors.size(), 2u);
    auto file = CompoundFile::OpenMemory(Bytes(small));
    ASSERT_TRUE(file);
    for (const auto& [name, bytes] : contents.streams) EXPECT_EQ(ReadStream(*file, name), bytes) << name;

    // A file above 7 MB, whose last sectors are described by FAT sectors only the DIFAT locates.
    const std::string large = Pattern(7'500'000, 9);
    const std::string image = CompoundFileWriter().AddStream("Time", "t").AddStream("Raw_data", large).Build({}, &layout);
    ASSERT_EQ(layout.difatSectors.size(), 1u);
    file = CompoundFile::OpenMemory(Bytes(image));
    ASSERT_TRUE(file);
    EXPECT_EQ(ReadStream(*file, "Raw_data"), large);
    EXPECT_EQ(ReadStream(*file, "Time"), "t");
}

TEST(CompoundFile, Version3UsesOnlyTheLowHalfOfStreamSizes) {
    CompoundFileLayout layout;
    const std::string data = Pattern(5000, 10);
    std::string v3 = CompoundFileWriter().AddStream("Raw_data", data).Build({.majorVersion = 3}, &layout);
    fixtures::PatchU32(v3, layout.DirectoryEntryOffset(layout.Stream("Raw_data").entry) + cfb::kStreamSizeOffset + 4, 0xDEADBEEF);
    auto file = CompoundFile::OpenMemory(Bytes(v3));
    ASSERT_TRUE(file);
    EXPECT_EQ(ReadStream(*file, "Raw_data"), data);

    std::string v4 = CompoundFileWriter().AddStream("Raw_data", data).Build({.majorVersion = 4}, &layout);
    fixtures::PatchU32(v4, layout.DirectoryEntryOffset(layout.Stream("Raw_data").entry) + cfb::kStreamSizeOffset + 4, 1);
    file = CompoundFile::OpenMemory(Bytes(v4));
    ASSERT_TRUE(file);
    CompoundError error = CompoundError::None;
    EXPECT_FALSE(file->OpenStream("Raw_data", &error));
    EXPECT_EQ(error, CompoundError::Corrupt);
}

// Opening a small stream reads only the sectors on its way: a damaged FAT sector that describes
// only the large stream's sectors does not stop it.
TEST(CompoundFile, OpensASmallStreamWithoutReadingTheRestOfTheFat) {
    CompoundFileLayout layout;
    std::string image = CompoundFileWriter()
                            .AddStream("Raw_data", Pattern(200'000, 11))
                            .AddStream("Passport", Pattern(300, 12))
                            .Build({}, &layout);
    ASSERT_GE(layout.fatSectors.size(), 3u);
    const std::uint32_t perFatSector = layout.sectorSize / 4;
    for (std::uint32_t k = 0; k < perFatSector; ++k)  // every entry of the last FAT sector loops
        fixtures::PatchU32(image, layout.SectorOffset(layout.fatSectors.back()) + 4 * k, 
                           static_cast<std::uint32_t>(perFatSector * (layout.fatSectors.size() - 1)));
    auto file = CompoundFile::OpenMemory(Bytes(image));
    ASSERT_TRUE(file);
    EXPECT_EQ(ReadStream(*file, "Passport"), Pattern(300, 12));
    CompoundError error = CompoundError::None;
    EXPECT_FALSE(file->OpenStream("Raw_data", &error));
    EXPECT_EQ(error, CompoundError::Corrupt);
}

// A long chain is followed a run of consecutive sectors at a time, scanning the FAT entries of
// a run within one FAT sector: a chain that leaves its run, loops or ends, inside a FAT sector's
// entries, at its last entry or at the first of the next one, is still read or found damaged.
TEST(CompoundFile, FollowsLongChainsRunByRunAcrossFatSectors) {
    const std::string big = Pattern(600 * 512, 21);
    CompoundFileLayout layout;
    const std::string image = CompoundFileWriter().AddStream("Big", big).Build({}, &layout);
    const std::uint32_t b = layout.Stream("Big").startSector;
    const std::uint32_t perFatSector = layout.sectorSize / 4;
    // A sector of the stream, well inside it, whose FAT entry is the last of its FAT sector.
    const std::uint32_t edge = (b / perFatSector + 2) * perFatSector - 1;
    ASSERT_LT(edge + 10, b + 600);
    const auto open = [&](const std::string& damaged, CompoundError* error) {
        auto file = CompoundFile::OpenMemory(Bytes(damaged));
        EXPECT_TRUE(file);
        return file ? file->OpenStream("Big", error) : nullptr;
    };

    const struct {
        const char* what;
        std::uint32_t at;  // the sector whose FAT entry is replaced
        std::uint32_t next;
    } damages[] = {
        {"loops back from the last entry of a FAT sector", edge, b},
        {"loops back from the first entry of the next", edge + 1, b + 5},
        {"loops back inside a run", edge + 7, edge + 2},
        {"names its own sector", edge + 3, edge + 3},
        {"ends at the last entry of a FAT sector", edge, cfb::kEndOfChain},
        {"leaves the file at the first entry of the next", edge + 1, 0x00FFFFFF},
    };
    for (const auto& damage : damages) {
        std::string damaged = image;
        fixtures::PatchU32(damaged, layout.FatEntryOffset(damage.at), damage.next);
        CompoundError error = CompoundError::None;
        EXPECT_FALSE(open(damaged, &error)) << damage.what;
        EXPECT_EQ(error, CompoundError::Corrupt) << damage.what;
    }

    // Out of order around the FAT sectors' border: ... edge - 1, edge + 1, edge, edge + 2 ...
    std::string swapped = image;
    const std::uint64_t first = layout.SectorOffset(edge), second = layout.SectorOffset(edge + 1);
    const std::string sectorAtEdge = swapped.substr(first, layout.sectorSize);
    swapped.replace(first, layout.sectorSize, swapped, second, layout.sectorSize);
    swapped.replace(second, layout.sectorSize, sectorAtEdge);
    fixtures::PatchU32(swapped, layout.FatEntryOffset(edge - 1), edge + 1);
    fixtures::PatchU32(swapped, layout.FatEntryOffset(edge + 1), edge);
    fixtures::PatchU32(swapped, layout.FatEntryOffset(edge), edge + 2);
    CompoundError error = CompoundError::None;
    auto stream = open(swapped, &error);
    ASSERT_TRUE(stream) << static_cast<int>(error);
    EXPECT_EQ(ReadAll(*stream, 1 << 20), big);
}

TEST(CompoundFile, HoldsTheFileExclusivelyWhileOpen) {
    fixtures::TempDir dir;
    const std::string path = dir.Path() + "/run.stg";
    ASSERT_TRUE(CompoundFileWriter().AddStream("Passport", "p").WriteTo(path));
    CompoundError error = CompoundError::None;
    std::unique_ptr<platform::Stream> stream;
    {
        auto file = CompoundFile::Open(path, &error);
        ASSERT_TRUE(file);
        EXPECT_EQ(error, CompoundError::None);
        EXPECT_FALSE(CompoundFile::Open(path, &error));
        EXPECT_EQ(error, CompoundError::Locked);
        EXPECT_FALSE(platform::LockedFile::Open(path, platform::LockedFile::Mode::ReadWrite));
        stream = file->OpenStream("passport");
        ASSERT_TRUE(stream);
    }
    // The file object is gone: the lock with it, while its stream still reads.
    auto again = CompoundFile::Open(path, &error);
    EXPECT_TRUE(again);
    EXPECT_EQ(ReadAll(*stream, 16), "p");
    again.reset();
    stream.reset();
    EXPECT_TRUE(CompoundFile::Open(path));
}

TEST(CompoundFile, StreamsAndFileMayBeReleasedInAnyOrder) {
    const Contents contents;
    const std::string image = contents.Writer().Build();
    auto file = CompoundFile::OpenMemory(Bytes(image));
    ASSERT_TRUE(file);
    auto first = file->OpenStream("Raw_data");
    auto second = file->OpenStream("Time");
    ASSERT_TRUE(first && second);
    first.reset();
    file.reset();
    EXPECT_EQ(ReadAll(*second, 5), contents.streams[1].second);
}

TEST(CompoundFile, TellsWhyAFileCannotBeOpened) {
    fixtures::TempDir dir;
    CompoundError error = CompoundError::None;
    EXPECT_FALSE(CompoundFile::Open(dir.Path() + "/missing.stg", &error));
    EXPECT_EQ(error, CompoundError::NotFound);
    EXPECT_FALSE(CompoundFile::Open(dir.MakeFolder("folder.stg"), &error));
    EXPECT_EQ(error, CompoundError::AccessDenied);
    EXPECT_FALSE(CompoundFile::Open(dir.WriteFile("empty.stg", ""), &error));
    EXPECT_EQ(error, CompoundError::NotCompoundFile);
    EXPECT_FALSE(CompoundFile::Open(dir.WriteFile("text.stg", std::string(4096, 'x')), &error));
    EXPECT_EQ(error, CompoundError::NotCompoundFile);

    // A file its reader may not read (as root the suite reads as nobody).
    const std::string closed = CompoundFileWriter().AddStream("Passport", "p").Build();
    const std::string closedPath = dir.WriteFile("closed.stg", closed);
    ASSERT_EQ(::chmod(closedPath.c_str(), 0000), 0);
    EXPECT_EQ(fixtures::RunUnprivileged(dir.Path(), [&]() -> std::string {
                  CompoundError reason = CompoundError::None;
                  if (CompoundFile::Open(closedPath, &reason)) return "opened";
                  if (reason != CompoundError::AccessDenied) return "error " + std::to_string(static_cast<int>(reason));
                  return "";
              }),
              "");
}

// Damaged files: each case damages a good image and names the first call that must fail.
struct Damage {
    const char* what;
    CompoundFileOptions options;
    std::function<void(std::string& image, const CompoundFileLayout& layout)> apply;
    CompoundError openError;       // None: the file opens, and then...
    const char* stream = nullptr;  // ...opening this stream fails
    CompoundError streamError = CompoundError::None;
};

// Five streams: "Raw_data" (regular, 3 sectors of 512), "Passport" (mini, 3 mini sectors) and
// "One" (mini, 1 mini sector) at the end of the mini stream, which spans two sectors.
std::string Victim(const CompoundFileOptions& options, CompoundFileLayout* layout) {
    return CompoundFileWriter()
        .AddStream("Raw_data", Pattern(1500 * (options.majorVersion == 4 ? 8 : 1) + 4096, 13))
        .AddStream("Filler", Pattern(500, 14))
        .AddStream("Passport", Pattern(150, 15))
        .AddStream("One", Pattern(10, 16))
        .AddStream("Time", Pattern(12, 17))
        .Build(options, layout);
}

std::uint64_t EntryField(const CompoundFileLayout& layout, const char* stream, std::uint32_t field) {
    return layout.DirectoryEntryOffset(layout.Stream(stream).entry) + field;
}

const CompoundFileOptions kV3{}, kV4{.majorVersion = 4}, kDifat{.minimumFatSectors = 237};
const std::uint32_t kBeyond = 0x00FFFFFF;  // a sector number no test file reaches

const Damage kDamages[] = {
    {"empty file", kV3, [](std::string& i, auto&) { i.clear(); }, CompoundError::NotCompoundFile},
    {"shorter than a header", kV3, [](std::string& i, auto&) { i.resize(511); }, CompoundError::NotCompoundFile},
    {"wrong signature", kV3, [](std::string& i, auto&) { i[7] = 0; }, CompoundError::NotCompoundFile},
    {"unknown version", kV3, [](std::string& i, auto&) { fixtures::PatchU16(i, cfb::kMajorVersionOffset, 5); },
     CompoundError::Corrupt},
    {"version 4 with 512-byte sectors", kV4,
     [](std::string& i, auto&) { fixtures::PatchU16(i, cfb::kSectorShiftOffset, 9); }, CompoundError::Corrupt},
    {"version 3 with 1024-byte sectors", kV3,
     [](std::string& i, auto&) { fixtures::PatchU16(i, cfb::kSectorShiftOffset, 10); }, CompoundError::Corrupt},
    {"big-endian byte order mark", kV3,
     [](std::string& i, auto&) { fixtures::PatchU16(i, cfb::kByteOrderOffset, 0xFEFF); }, CompoundError::Corrupt},
    {"other mini-stream cutoff", kV3,
     [](std::string& i, auto&) { fixtures::PatchU32(i, cfb::kMiniStreamCutoffOffset, 512); }, CompoundError::Corrupt},
    {"FAT sector count beyond the file", kV3,
     [](std::string& i, auto&) { fixtures::PatchU32(i, cfb::kFatSectorCountOffset, 0x40000000); },
     CompoundError::Corrupt},
    {"FAT sector beyond the file", kV3,
     [](std::string& i, auto&) { fixtures::PatchU32(i, cfb::kHeaderDifatOffset, kBeyond); }, CompoundError::Corrupt},
    {"first directory sector beyond the file", kV3,
     [](std::string& i, auto&) { fixtures::PatchU32(i, cfb::kFirstDirectorySectorOffset, kBeyond); },
     CompoundError::Corrupt},
    {"directory chain loops", kV3,
     [](std::string& i, const CompoundFileLayout& l) {
         fixtures::PatchU32(i, l.FatEntryOffset(l.directorySectors[1]), l.directorySectors[0]);
     },
     CompoundError::Corrupt},
    {"directory chain ends in a free sector", kV3,
     [](std::string& i, const CompoundFileLayout& l) {
         fixtures::PatchU32(i, l.FatEntryOffset(l.directorySectors[0]), cfb::kFreeSector);
     },
     CompoundError::Corrupt},
    {"directory sector not covered by the FAT", kV3,
     [](std::string& i, auto&) { fixtures::PatchU32(i, cfb::kFatSectorCountOffset, 0); }, CompoundError::Corrupt},
    {"no root entry", kV3,
     [](std::string& i, const CompoundFileLayout& l) { i[l.DirectoryEntryOffset(0) + cfb::kObjectTypeOffset] = 1; },
     CompoundError::Corrupt},
    {"truncated inside the directory", kV3,
     [](std::string& i, const CompoundFileLayout& l) { i.resize(l.SectorOffset(l.directorySectors[1]) + 100); },
     CompoundError::Corrupt},
    {"DIFAT chain loops", kDifat,
     [](std::string& i, const CompoundFileLayout& l) { fixtures::PatchU32(i, l.DifatLinkOffset(0), l.difatSectors[0]); },
     CompoundError::Corrupt},
    {"DIFAT chain ends early", kDifat,
     [](std::string& i, const CompoundFileLayout& l) { fixtures::PatchU32(i, l.DifatLinkOffset(0), cfb::kEndOfChain); },
     CompoundError::Corrupt},
    {"first DIFAT sector beyond the file", kDifat,
     [](std::string& i, auto&) { fixtures::PatchU32(i, cfb::kFirstDifatSectorOffset, kBeyond); },
     CompoundError::Corrupt},
    {"FAT sector in a DIFAT sector beyond the file", kDifat,
     [](std::string& i, const CompoundFileLayout& l) { fixtures::PatchU32(i, l.SectorOffset(l.difatSectors[1]), kBeyond); },
     CompoundError::Corrupt},

    {"child of the root outside the directory", kV3,
     [](std::string& i, const CompoundFileLayout& l) { fixtures::PatchU32(i, l.DirectoryEntryOffset(0) + cfb::kChildOffset, 99); },
     CompoundError::None, "Passport", CompoundError::Corrupt},
    {"sibling tree loops", kV3,
     [](std::string& i, const CompoundFileLayout& l) {
         std::uint32_t root = 0;
         std::memcpy(&root, i.data() + l.DirectoryEntryOffset(0) + cfb::kChildOffset, 4);
         for (std::uint32_t e = 1; e <= 5; ++e)
             if (e != root) {
                 fixtures::PatchU32(i, l.DirectoryEntryOffset(e) + cfb::kLeftSiblingOffset, root);
                 fixtures::PatchU32(i, l.DirectoryEntryOffset(e) + cfb::kRightSiblingOffset, root);
             }
     },
     CompoundError::None, "Nothing", CompoundError::Corrupt},
    {"sibling link back to the root", kV3,
     [](std::string& i, const CompoundFileLayout& l) {
         for (std::uint32_t e = 1; e <= 5; ++e)
             fixtures::PatchU32(i, l.DirectoryEntryOffset(e) + cfb::kRightSiblingOffset, 0);
     },
     CompoundError::None, "Nothing", CompoundError::Corrupt},

    {"stream chain loops", kV3,
     [](std::string& i, const CompoundFileLayout& l) {
         const std::uint32_t s = l.Stream("Raw_data").startSector;
         fixtures::PatchU32(i, l.FatEntryOffset(s + 1), s);
     },
     CompoundError::None, "Raw_data", CompoundError::Corrupt},
    {"stream chain ends early", kV4,
     [](std::string& i, const CompoundFileLayout& l) {
         fixtures::PatchU32(i, l.FatEntryOffset(l.Stream("Raw_data").startSector), cfb::kEndOfChain);
     },
     CompoundError::None, "Raw_data", CompoundError::Corrupt},
    {"stream chain leaves the file", kV3,
     [](std::string& i, const CompoundFileLayout& l) {
         fixtures::PatchU32(i, l.FatEntryOffset(l.Stream("Raw_data").startSector), kBeyond);
     },
     CompoundError::None, "Raw_data", CompoundError::Corrupt},
    {"stream starts beyond the file", kV3,
     [](std::string& i, const CompoundFileLayout& l) {
         fixtures::PatchU32(i, EntryField(l, "Raw_data", cfb::kStartSectorOffset), kBeyond);
     },
     CompoundError::None, "Raw_data", CompoundError::Corrupt},
    {"stream size beyond the file", kV4,
     [](std::string& i, const CompoundFileLayout& l) {
         fixtures::PatchU64(i, EntryField(l, "Raw_data", cfb::kStreamSizeOffset), std::uint64_t{1} << 62);
     },
     CompoundError::None, "Raw_data", CompoundError::Corrupt},
    {"stream size beyond its chain", kV3,
     [](std::string& i, const CompoundFileLayout& l) {
         fixtures::PatchU32(i, EntryField(l, "Raw_data", cfb::kStreamSizeOffset), 7000);
     },
     CompoundError::None, "Raw_data", CompoundError::Corrupt},
    {"truncated inside the last stream", kV3,
     [](std::string& i, auto&) { i.resize(i.size() - 100); }, CompoundError::None, "Raw_data", CompoundError::Corrupt},
    {"truncated inside the mini stream", kV3,
     [](std::string& i, const CompoundFileLayout& l) { i.resize(l.SectorOffset(l.miniStreamSectors[1]) + 10); },
     CompoundError::None, "One", CompoundError::Corrupt},

    {"mini chain loops", kV3,
     [](std::string& i, const CompoundFileLayout& l) {
         const std::uint32_t m = l.Stream("Passport").startSector;
         fixtures::PatchU32(i, l.MiniFatEntryOffset(m + 1), m);
     },
     CompoundError::None, "Passport", CompoundError::Corrupt},
    {"mini chain ends early", kV4,
     [](std::string& i, const CompoundFileLayout& l) {
         fixtures::PatchU32(i, l.MiniFatEntryOffset(l.Stream("Passport").startSector), cfb::kEndOfChain);
     },
     CompoundError::None, "Passport", CompoundError::Corrupt},
    {"mini chain leaves the mini stream", kV3,
     [](std::string& i, const CompoundFileLayout& l) {
         fixtures::PatchU32(i, l.MiniFatEntryOffset(l.Stream("Passport").startSector), 1000);
     },
     CompoundError::None, "Passport", CompoundError::Corrupt},
    {"mini stream size beyond the file", kV3,
     [](std::string& i, const CompoundFileLayout& l) {
         fixtures::PatchU32(i, l.DirectoryEntryOffset(0) + cfb::kStreamSizeOffset, 0x7FFFFFC0);
     },
     CompoundError::None, "Passport", CompoundError::Corrupt},
    {"mini stream smaller than the streams in it", kV3,
     [](std::string& i, const CompoundFileLayout& l) {
         fixtures::PatchU32(i, l.DirectoryEntryOffset(0) + cfb::kStreamSizeOffset, 64);
     },
     CompoundError::None, "One", CompoundError::Corrupt},
    {"mini stream chain ends early", kV3,
     [](std::string& i, const CompoundFileLayout& l) {
         fixtures::PatchU32(i, l.FatEntryOffset(l.miniStreamSectors[0]), cfb::kEndOfChain);
     },
     CompoundError::None, "One", CompoundError::Corrupt},
    {"first mini FAT sector beyond the file", kV3,
     [](std::string& i, auto&) { fixtures::PatchU32(i, cfb::kFirstMiniFatSectorOffset, kBeyond); },
     CompoundError::None, "Passport", CompoundError::Corrupt},
    {"mini FAT shorter than the mini stream", kV3,
     [](std::string& i, auto&) { fixtures::PatchU32(i, cfb::kMiniFatSectorCountOffset, 0); },
     CompoundError::None, "Passport", CompoundError::Corrupt},
    {"name length beyond its field", kV3,
     [](std::string& i, const CompoundFileLayout& l) { fixtures::PatchU16(i, EntryField(l, "Passport", cfb::kNameLengthOffset), 66); },
     CompoundError::None, "Passport", CompoundError::NotFound},
};

class DamagedCompoundFile : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedCompoundFile, FailsCleanly) {
    const Damage& damage = GetParam();
    CompoundFileLayout layout;
    std::string image = Victim(damage.options, &layout);
    damage.apply(image, layout);
    fixtures::TempDir dir;
    for (Source source : {Source::Memory, Source::File}) {
        SCOPED_TRACE(source == Source::File ? "from the file" : "from memory");
        CompoundError error = CompoundError::None;
        auto file = OpenImage(image, source, dir, &error);
        EXPECT_EQ(error, damage.openError);
        if (damage.openError != CompoundError::None) {
            EXPECT_FALSE(file);
            continue;
        }
        ASSERT_TRUE(file);
        EXPECT_FALSE(file->OpenStream(damage.stream, &error));
        EXPECT_EQ(error, damage.streamError);
    }
}

// Another program cuts the file while it is being read: what was read before stays consistent,
// what lies beyond the cut is not delivered, and nothing else happens.
TEST(CompoundFile, AFileCutWhileOpenDeliversWhatItStillHolds) {
    const Contents contents;
    fixtures::TempDir dir;
    const std::string path = dir.WriteFile("cut.cfb", contents.Writer().Build());
    auto file = CompoundFile::Open(path);
    ASSERT_TRUE(file);
    ASSERT_EQ(::truncate(path.c_str(), 2048), 0);
    auto signal = file->OpenStream("Raw_data");
    ASSERT_TRUE(signal);
    std::string all(20000, '\0');
    EXPECT_LT(signal->Read(all.data(), all.size()), 10000u);
    auto passport = file->OpenStream("Passport");
    if (passport) {
        EXPECT_LT(passport->Read(all.data(), all.size()), 4096u);
    }
}

INSTANTIATE_TEST_SUITE_P(, DamagedCompoundFile, ::testing::ValuesIn(kDamages), [](const auto& info) {
    std::string name;
    for (const char* c = info.param.what; *c; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
    return name;
});

}  // namespace
