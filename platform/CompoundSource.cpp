#include "platform/CompoundSource.h"

#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace platform::cfb {

bool FileSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t n) {
    if (n > kPage) return ReadDirect(offset, buffer, n);
    const Window* window = CoveringWindow(offset, n);
    if (!window) window = LoadWindow(offset, n);
    if (!window) return false;
    if (n > 0) std::memcpy(buffer, window->bytes.get() + (offset - window->start), n);
    return true;
}

void FileSource::Prefetch(std::uint64_t offset, std::uint64_t n) {
    if (n <= kMaxWindow && !CoveringWindow(offset, n)) LoadWindow(offset, n);
}

void FileSource::Unlock() { ::flock(file_.Descriptor(), LOCK_UN); }

const FileSource::Window* FileSource::CoveringWindow(std::uint64_t offset, std::uint64_t n) const {
    for (const Window& w : windows_)
        if (w.length > 0 && offset >= w.start && offset - w.start <= w.length && n <= w.length - (offset - w.start))
            return &w;
    return nullptr;
}

const FileSource::Window* FileSource::LoadWindow(std::uint64_t offset, std::uint64_t n) {
    if (offset > Size() || n > Size() - offset) return nullptr;
    const std::uint64_t start = offset / kPage * kPage;
    std::uint64_t end = (offset + n + kPage - 1) / kPage * kPage;
    if (start == 0) end = std::max(end, kFirstWindow);
    end = std::min(end, Size());
    Window& w = windows_[next_];
    next_ = (next_ + 1) % kWindows;
    const std::uint64_t length = end - start;
    if (w.capacity < length) {
        w.bytes.reset(new std::uint8_t[length]);  // filled by the read: no need to clear it
        w.capacity = length;
    }
    w.start = start;
    w.length = ReadAvailable(start, w.bytes.get(), length);
    const bool windowHoldsRequest = offset + n <= start + w.length;
    return windowHoldsRequest ? &w : nullptr;
}

bool FileSource::ReadDirect(std::uint64_t offset, void* buffer, std::size_t n) {
    return ReadAvailable(offset, buffer, n) == n;
}

std::uint64_t FileSource::ReadAvailable(std::uint64_t offset, void* buffer, std::uint64_t n) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::uint64_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(file_.Descriptor(), out + done, static_cast<std::size_t>(n - done),
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::uint64_t>(got);
    }
    return done;
}

}  // namespace platform::cfb
