#include "platform/LockedFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <mutex>
#include <utility>

namespace platform {

namespace {

// The test hook, copied out under the lock so that it runs outside it (it blocks, by design).
std::mutex& HookMutex() {
    static std::mutex mutex;
    return mutex;
}
std::shared_ptr<const LockedFile::OpenHook>& Hook() {
    static std::shared_ptr<const LockedFile::OpenHook> hook;
    return hook;
}

void RunOpenHook(const std::string& path) {
    std::shared_ptr<const LockedFile::OpenHook> hook;
    {
        std::lock_guard lock(HookMutex());
        hook = Hook();
    }
    if (hook) (*hook)(path);
}

}  // namespace

LockedFile::OpenHook LockedFile::SetOpenHook(OpenHook hook) {
    auto fresh = hook ? std::make_shared<const OpenHook>(std::move(hook)) : nullptr;
    std::lock_guard lock(HookMutex());
    std::shared_ptr<const OpenHook> previous = std::exchange(Hook(), std::move(fresh));
    return previous ? *previous : OpenHook();
}

std::optional<LockedFile> LockedFile::Open(const std::string& path, Mode mode, int* error, Lock lock) {
    const auto fail = [error](int reason) -> std::optional<LockedFile> {
        if (error) *error = reason;
        return std::nullopt;
    };
    RunOpenHook(path);
    const int access = mode == Mode::ReadOnly ? O_RDONLY : O_RDWR;
    // O_NONBLOCK so that opening a FIFO cannot hang. Reads of a regular file ignore it, so a
    // reader keeps it rather than pay two more calls; a writer has it cleared, as writes are
    // where a file system could take it at its word.
    const int fd = ::open(path.c_str(), access | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return fail(errno);
    LockedFile file(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0) return fail(errno);
    if (!S_ISREG(st.st_mode)) return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    file.size_ = static_cast<std::uint64_t>(st.st_size);
    if (mode == Mode::ReadWrite) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return fail(errno);
    }
    // flock reports a lock held elsewhere as EWOULDBLOCK (the same value as EAGAIN here).
    const bool shared = lock == Lock::Shared && mode == Mode::ReadOnly;
    if (::flock(fd, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) return fail(errno);
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
