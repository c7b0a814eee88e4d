#include "core/FileReplace.h"

#include "core/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace core {

namespace {

constexpr mode_t kDocumentMode = 0666;  // less the umask, as any program's new file
constexpr int kNameAttempts = 100;

std::string Reason(const std::string& path, int error) { return path + ": " + std::strerror(error); }

// A new file in `folder` under a hidden name no other writer uses: this process's id and a
// counter. It does not carry the final name, which may be as long as a name can be.
int CreateTemporary(const std::string& folder, std::string& temporary) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        temporary = folder + "/.ostrel-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, kDocumentMode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

std::optional<std::string> ReplaceFileContents(const std::string& path, std::string_view bytes) {
    if (path.empty()) return std::string("no file name");
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return Reason(path, EISDIR);

    const std::string folder = ParentFolder(path);
    std::string temporary;
    const int fd = CreateTemporary(folder, temporary);
    if (fd < 0) return Reason(path, errno);
    const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    const int closeError = errno;
    if (!written || !closed) {
        ::unlink(temporary.c_str());
        return Reason(path, !written ? writeError : closeError);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int renameError = errno;
        ::unlink(temporary.c_str());
        return Reason(path, renameError);
    }
    SyncFolder(folder);  // the new name's durability; the document is complete either way
    return std::nullopt;
}

}  // namespace core
