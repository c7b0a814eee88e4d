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

// Whether `name` matches the wildcard `pattern` under the rules above.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// Whether `path` names an existing folder (the "<path>\nul" test of the Windows program).
bool FolderExists(const std::string& path);

// The title of a file name: everything before its last '.', or the whole name without one.
std::string FileTitle(std::string_view name);

}  // namespace platform
