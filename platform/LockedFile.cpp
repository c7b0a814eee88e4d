#include "platform/LockedFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform {

std::optional<LockedFile> LockedFile::Open(const std::string& path, Mode mode, int* error) {
    const auto fail = [error](int reason) -> std::optional<LockedFile> {
        if (error) *error = reason;
        return std::nullopt;
    };
    const int access = mode == Mode::ReadOnly ? O_RDONLY : O_RDWR;
    // O_NONBLOCK only so that opening a FIFO cannot hang; it is cleared again below.
    const int fd = ::open(path.c_str(), access | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return fail(errno);
    LockedFile file(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0) return fail(errno);
    if (!S_ISREG(st.st_mode)) return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return fail(errno);
    // flock reports a lock held elsewhere as EWOULDBLOCK (the same value as EAGAIN here).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(errno);
    return file;
}

LockedFile::LockedFile(LockedFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

LockedFile::~LockedFile() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace platform
