#pragma once

#include "platform/LockedFile.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

// Where the compound file reader's bytes come from: a file read through a few page windows, or
// a caller's buffer. Not thread-safe: one reader and the streams it opened use a source from one
// thread at a time.
namespace platform::cfb {

// Where the bytes of a compound file come from. Shared by the file object and its streams, so
// either may be destroyed first.
class Source {
public:
    explicit Source(std::uint64_t size) : size_(size) {}
    virtual ~Source() = default;
    std::uint64_t Size() const { return size_; }
    // Reads exactly n bytes at `offset`; false when they cannot all be read.
    virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t n) = 0;
    // Announces that the n bytes at `offset` are about to be read in small pieces, so that a
    // source can fetch them at once. Failing here is not failing: the reads that follow do.
    virtual void Prefetch(std::uint64_t offset, std::uint64_t n) {}

private:
    std::uint64_t size_;
};

// A file read with pread. What a passport read needs (the header, the FAT, directory and mini FAT
// sectors, a short stream) is a few small pieces that writers put close together, mostly near
// the start of the file, while each call into the kernel costs more than copying a page (and a
// round trip on a network share). So small reads are served from a few windows of the file, each
// fetched whole in one call at page granularity; the first window takes the header with the
// sectors that follow it, which usually hold the FAT and the directory. Reads larger than a page
// (a signal, a run of FAT sectors) go straight into the caller's buffer.
class FileSource final : public Source {
public:
    explicit FileSource(LockedFile file) : Source(file.SizeAtOpen()), file_(std::move(file)) {}

    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t n) override;
    void Prefetch(std::uint64_t offset, std::uint64_t n) override;

    // Exclusive sharing lasts as long as the file object; streams still open after it keep
    // reading through the same descriptor, unlocked.
    void Unlock();

private:
    static constexpr std::uint64_t kPage = 4096;
    static constexpr std::uint64_t kFirstWindow = 2 * kPage;  // the header sector of version 4 is a page itself
    static constexpr std::uint64_t kMaxWindow = 16 * kPage;
    static constexpr std::size_t kWindows = 4;

    struct Window {
        std::uint64_t start = 0;
        std::uint64_t length = 0;  // bytes held; 0: unused
        std::uint64_t capacity = 0;
        std::unique_ptr<std::uint8_t[]> bytes;
    };

    const Window* CoveringWindow(std::uint64_t offset, std::uint64_t n) const;
    // Fetches the pages that hold [offset, offset + n), within the size the file had when it was
    // opened, into the next window; null when the file no longer holds them all.
    const Window* LoadWindow(std::uint64_t offset, std::uint64_t n);
    bool ReadDirect(std::uint64_t offset, void* buffer, std::size_t n);
    // Reads up to n bytes at `offset`; fewer at the end of the file or on an error.
    std::uint64_t ReadAvailable(std::uint64_t offset, void* buffer, std::uint64_t n);

    LockedFile file_;
    Window windows_[kWindows];
    std::size_t next_ = 0;
};

class MemorySource final : public Source {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : Source(bytes.size()), bytes_(bytes) {}

    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t n) override {
        if (offset > bytes_.size() || n > bytes_.size() - offset) return false;
        if (n > 0) std::memcpy(buffer, bytes_.data() + offset, n);
        return true;
    }

private:
    std::span<const std::uint8_t> bytes_;
};

}  // namespace platform::cfb
