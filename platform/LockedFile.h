#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// "Opening without sharing" on Linux: an existing regular file opened with an exclusive advisory
// lock (flock) taken without waiting. A file that another opener holds locked fails to open, as
// a file opened without sharing does on Windows. The lock goes with the descriptor and ends when
// it is closed.
//
// Opening costs three system calls (open, fstat, flock): the open dialog opens every file of a
// folder, often on a network share, so nothing is asked of the kernel twice.
namespace platform {

class LockedFile {
public:
    enum class Mode { ReadOnly, ReadWrite };
    // Exclusive: no other locker at the same time. Shared (readers only): other shared lockers
    // may hold the file too, but not an exclusive one; it denies writing, as opening for reading
    // with read sharing does on Windows.
    enum class Lock { Exclusive, Shared };

    // Never creates the file. Fails for a missing file, a directory or any other non-regular
    // file (a FIFO or a device never blocks the caller), a file without the asked access, or one
    // locked elsewhere in a way that excludes `lock`. On failure `*error`, when given, tells why
    // as an errno value: EWOULDBLOCK for a file locked elsewhere, EISDIR for a directory, EINVAL
    // for any other non-regular file, and otherwise what open(2) or fstat(2) said. A read-only
    // descriptor keeps O_NONBLOCK, which reads of a regular file ignore; a read-write one has it
    // cleared.
    static std::optional<LockedFile> Open(const std::string& path, Mode mode, int* error = nullptr,
                                          Lock lock = Lock::Exclusive);

    LockedFile(LockedFile&& other) noexcept;
    LockedFile& operator=(LockedFile&& other) noexcept;
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    ~LockedFile();

    int Descriptor() const { return fd_; }
    // The file's size in bytes when it was opened.
    std::uint64_t SizeAtOpen() const { return size_; }

    // For tests: a function every Open calls first, on the opener's thread, with the path it is
    // about to open. A test stalls a read by blocking in it (a share that stopped answering) and
    // releases it when it likes. Returns the hook it replaces; an empty one removes it. Safe to
    // call while other threads open files; a hook being run when it is replaced still finishes.
    using OpenHook = std::function<void(const std::string& path)>;
    static OpenHook SetOpenHook(OpenHook hook);

private:
    explicit LockedFile(int fd) : fd_(fd) {}
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

}  // namespace platform
