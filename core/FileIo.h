#pragma once

#include <optional>
#include <string>
#include <string_view>

// The few file operations that keeping method copies and the audit trail need to be durable:
// whole reads and writes that survive EINTR and short counts, and folders created and synced so
// that a new file's name outlives a crash as its bytes do.
namespace core {

// Everything from the start of the open file `fd` to its end (read with pread, so the file
// position is not used); nothing when a read fails.
std::optional<std::string> ReadAll(int fd);

// Writes all of `bytes` at the file position (or at the end, for O_APPEND); false on the first
// failed write, some bytes may then have been written.
bool WriteAll(int fd, std::string_view bytes);

// Creates `folder` and every missing folder above it (mode 0755 less the umask). True when it
// exists as a folder afterwards. Each folder created is synced into its parent.
bool MakeFolders(const std::string& folder);

// fsync of a folder: makes the creation, renaming or removal of names in it durable.
bool SyncFolder(const std::string& folder);

// The folder part of `path` ("/a/b" for "/a/b/c"); "/" for a file in the root, "." for a bare name.
std::string ParentFolder(const std::string& path);

}  // namespace core
