#pragma once

#include <optional>
#include <string>

// "Opening without sharing" on Linux: an existing regular file opened with an exclusive advisory
// lock (flock) taken without waiting. A file that another opener holds locked fails to open, as
// a file opened without sharing does on Windows. The lock goes with the descriptor.
namespace platform {

class LockedFile {
public:
    enum class Mode { ReadOnly, ReadWrite };

    // Never creates the file. Fails for a missing file, a directory or any other non-regular
    // file (a FIFO never blocks the caller), a file without the asked access, or one locked
    // elsewhere. On failure `*error`, when given, tells why as an errno value: EWOULDBLOCK for a
    // file locked elsewhere, EISDIR for a directory, EINVAL for any other non-regular file, and
    // otherwise what open(2) or fstat(2) said.
    static std::optional<LockedFile> Open(const std::string& path, Mode mode, int* error = nullptr);

    LockedFile(LockedFile&& other) noexcept;
    LockedFile& operator=(LockedFile&& other) noexcept;
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    ~LockedFile();

    int Descriptor() const { return fd_; }

private:
    explicit LockedFile(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace platform
