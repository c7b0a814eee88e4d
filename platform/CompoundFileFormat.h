#pragma once

#include <cstdint>

// The on-disk layout of a compound file (Compound File Binary format, versions 3 and 4): field
// offsets of the header and of a directory entry, and the special sector numbers. Shared by the
// reader and by the test-only writer, whose files an independent reader cross-checks, so a
// misread constant cannot hide behind the writer agreeing with it.
namespace platform::cfb {

inline constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// Header fields (offsets from the start of the file).
inline constexpr std::uint32_t kHeaderSize = 512;  // version 4 pads the header out to one 4096-byte sector
inline constexpr std::uint32_t kMinorVersionOffset = 0x18;
inline constexpr std::uint32_t kMajorVersionOffset = 0x1A;
inline constexpr std::uint32_t kByteOrderOffset = 0x1C;
inline constexpr std::uint32_t kSectorShiftOffset = 0x1E;
inline constexpr std::uint32_t kMiniSectorShiftOffset = 0x20;
inline constexpr std::uint32_t kDirectorySectorCountOffset = 0x28;
inline constexpr std::uint32_t kFatSectorCountOffset = 0x2C;
inline constexpr std::uint32_t kFirstDirectorySectorOffset = 0x30;
inline constexpr std::uint32_t kMiniStreamCutoffOffset = 0x38;
inline constexpr std::uint32_t kFirstMiniFatSectorOffset = 0x3C;
inline constexpr std::uint32_t kMiniFatSectorCountOffset = 0x40;
inline constexpr std::uint32_t kFirstDifatSectorOffset = 0x44;
inline constexpr std::uint32_t kDifatSectorCountOffset = 0x48;
inline constexpr std::uint32_t kHeaderDifatOffset = 0x4C;
inline constexpr std::uint32_t kHeaderDifatEntries = 109;

inline constexpr std::uint16_t kByteOrderMark = 0xFFFE;
inline constexpr std::uint16_t kMinorVersion = 0x003E;
inline constexpr std::uint16_t kSectorShiftVersion3 = 9;   // 512-byte sectors
inline constexpr std::uint16_t kSectorShiftVersion4 = 12;  // 4096-byte sectors
inline constexpr std::uint16_t kMiniSectorShift = 6;       // 64-byte mini sectors
inline constexpr std::uint32_t kMiniSectorSize = 1u << kMiniSectorShift;
// Streams shorter than this live in the mini stream.
inline constexpr std::uint32_t kMiniStreamCutoff = 4096;

// Sector numbers above kMaxRegularSector are markers, not sectors.
inline constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
inline constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;  // FAT entry of a DIFAT sector
inline constexpr std::uint32_t kFatSector = 0xFFFFFFFD;    // FAT entry of a FAT sector
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
inline constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;

// Directory entries (offsets within one 128-byte entry).
inline constexpr std::uint32_t kDirectoryEntrySize = 128;
inline constexpr std::uint32_t kNameOffset = 0x00;
inline constexpr std::uint32_t kNameBytes = 64;  // UTF-16LE, at most 31 characters and a terminating zero
inline constexpr std::uint32_t kNameLengthOffset = 0x40;  // in bytes, the terminating zero included
inline constexpr std::uint32_t kObjectTypeOffset = 0x42;
inline constexpr std::uint32_t kColorOffset = 0x43;
inline constexpr std::uint32_t kLeftSiblingOffset = 0x44;
inline constexpr std::uint32_t kRightSiblingOffset = 0x48;
inline constexpr std::uint32_t kChildOffset = 0x4C;
inline constexpr std::uint32_t kStartSectorOffset = 0x74;
inline constexpr std::uint32_t kStreamSizeOffset = 0x78;  // 8 bytes; version 3 files use only the low 4

inline constexpr std::uint8_t kTypeUnallocated = 0;
inline constexpr std::uint8_t kTypeStorage = 1;
inline constexpr std::uint8_t kTypeStream = 2;
inline constexpr std::uint8_t kTypeRoot = 5;
inline constexpr std::uint8_t kColorRed = 0;
inline constexpr std::uint8_t kColorBlack = 1;
inline constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;  // an absent sibling or child

}  // namespace platform::cfb
