#include "core/MethodFile.h"

#include "platform/LittleEndian.h"
#include "platform/XTPRegistryManager.h"
#include "platform/FileSearch.h"
#include "platform/LockedFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>

namespace core {

namespace {

// The working copy: a method is handled only up to this size.
constexpr std::size_t kWorkingCopyBytes = 1000000;
// The component name "этанол" in code page 1251 with its one-byte length prefix.
constexpr std::array<unsigned char, 7> kEthanolKey{0x06, 0xFD, 0xF2, 0xE0, 0xED, 0xEE, 0xEB};
constexpr std::size_t kCoefficientOffset = 31;
constexpr std::size_t kFlagOffset = 43;

// Up to `limit` bytes from the start of the file; nothing when reading fails.
std::optional<std::string> ReadPrefix(int fd, std::size_t limit) {
    std::string copy(limit, '\0');
    std::size_t got = 0;
    while (got < limit) {
        const ssize_t n = ::pread(fd, copy.data() + got, limit - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    copy.resize(got);
    return copy;
}

// Writes the part of `bytes`, meant for `offset`, that lies before `end`.
bool WriteClipped(int fd, std::size_t offset, std::string_view bytes, std::size_t end) {
    if (offset >= end) return true;
    bytes = bytes.substr(0, end - offset);
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += static_cast<std::size_t>(n);
    }
    return true;
}


}  // namespace

std::string MethodFolder(platform::SectionReading reading) {
    return platform::XTPRegistryManager(platform::RootKey::CurrentUser, reading).GetStringValue("", "MethodPath", "");
}

std::vector<std::string> ListMethodTitles() {
    std::vector<std::string> titles;
    for (const platform::FileEntry& entry : platform::FindFiles(MethodFolder() + "/*.mtd"))
        if (!entry.isDirectory) titles.push_back(entry.title);
    return titles;
}

bool SaveToMethod(std::string_view title, double coefficient) {
    const std::string path = MethodFolder() + "/" + std::string(title) + ".mtd";
    const auto file = platform::LockedFile::Open(path, platform::LockedFile::Mode::ReadWrite);
    if (!file) return false;
    const int fd = file->Descriptor();
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    const std::size_t length = static_cast<std::size_t>(st.st_size);
    const std::optional<std::string> copy = ReadPrefix(fd, std::min(length, kWorkingCopyBytes));
    if (!copy) return false;

    const auto key = std::search(copy->begin(), copy->end(), kEthanolKey.begin(), kEthanolKey.end(),
                                 [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; });
    if (key == copy->end()) return false;
    const std::size_t p = static_cast<std::size_t>(key - copy->begin());

    // Only the patched bytes go back, and only those within what was read (never past the file's
    // end, nor past the working copy): rewriting the rest from this copy could undo a change
    // another program made meanwhile, the lock being advisory.
    const std::size_t end = copy->size();
    if (p + kCoefficientOffset >= end) return false;  // the record is cut off before the patch
    const bool written =
        WriteClipped(fd, p + kCoefficientOffset,
                     platform::LittleEndianBytes(std::bit_cast<std::uint64_t>(coefficient), 8), end) &&
        WriteClipped(fd, p + kFlagOffset, platform::LittleEndianBytes(1, 4), end);
    return ::fdatasync(fd) == 0 && written;
}

}  // namespace core
