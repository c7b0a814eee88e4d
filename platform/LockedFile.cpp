#include "platform/LockedFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace platform {

std::optional<LockedFile> LockedFile::Open(const std::string& path, Mode mode, Lock lock) {
    const int access = mode == Mode::ReadOnly ? O_RDONLY : O_RDWR;
    // O_NONBLOCK so that opening a FIFO cannot hang. Reads of a regular file ignore it, so a
    // reader keeps it rather than pay two more calls; a writer has it cleared, as writes are
    // where a file system could take it at its word.
    const int fd = ::open(path.c_str(), access | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    LockedFile file(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    file.size_ = static_cast<std::uint64_t>(st.st_size);
    if (mode == Mode::ReadWrite) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return std::nullopt;
    }
    const bool shared = lock == Lock::Shared && mode == Mode::ReadOnly;
    if (::flock(fd, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) return std::nullopt;
    return file;
}

LockedFile::LockedFile(LockedFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_) {}

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
    }
    return *this;
}

LockedFile::~LockedFile() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace platform
