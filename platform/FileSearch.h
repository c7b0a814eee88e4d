#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Folder enumeration with the wildcard rules of the Windows file search: '*' matches any run of
// characters, '?' one character, letter case is ignored ("*.stg" also finds "RUN1.STG", since
// the files come from Windows machines), and "*.*" matches every name. Paths use '/'.
namespace platform {

struct FileEntry {
    std::string name;      // "run 1.stg"
    std::string title;     // the name without its extension: "run 1" ("a.b" for "a.b.mtd")
    std::string fullPath;  // folder + "/" + name
    bool isDirectory = false;
    std::int64_t lastWriteTime = 0;  // seconds since 1970-01-01 00:00:00 UTC
};

// The entries of the folder part of `pattern` (everything before its last '/') whose names
// match its last component, "." and ".." included where the pattern matches them, like
// FindFirstFile/FindNextFile. Ordered by name ignoring case, so that listings are repeatable.
// A folder that does not exist or cannot be read yields no entries. An empty folder part means
// the root: "/*.stg" and "*.stg" (no '/') both search "/".
std::vector<FileEntry> FindFiles(std::string_view pattern);

// One file found by ListFiles.
struct ListedFile {
    std::string name;
    std::string title;
    std::string fullPath;
    // A regular file, or a link to one. A FIFO, device or socket is listed too (a folder may
    // hold one under a chromatogram's name) but is no file to open.
    bool regular = false;
    // The entry's inode number: files opened in this order are found on the disk in order.
    std::uint64_t inode = 0;
};

struct FileListing {
    std::vector<ListedFile> files;
    int error = 0;  // errno of what kept the folder from being listed whole; 0 when it was
};

// The files of the folder part of `pattern` whose names match its last component, by the
// rules and with the paths of FindFiles, but never folders, and in the order the folder gives
// them. Made for listing thousands of files that are opened next anyway: an entry is looked
// at (stat) only when the folder does not say what it is (a link, a file system without entry
// types). What could be listed is returned also when the folder could not be read to its end.
FileListing ListFiles(std::string_view pattern);

// Whether `name` matches the wildcard `pattern` under the rules above.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// Whether `path` names an existing folder (the "<path>\nul" test of the Windows program).
bool FolderExists(const std::string& path);

// The title of a file name: everything before its last '.', or the whole name without one.
std::string FileTitle(std::string_view name);

}  // namespace platform
