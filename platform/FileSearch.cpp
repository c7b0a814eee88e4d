#include "platform/FileSearch.h"

#include "platform/Text.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace platform {

namespace {

// Case folding by code point, so that matching is per character rather than per byte.
std::u32string FoldedCodePoints(std::string_view utf8) {
    const std::string folded = ToUpper(utf8);
    std::u32string out;
    for (size_t i = 0; i < folded.size();) {
        const unsigned char b0 = static_cast<unsigned char>(folded[i]);
        size_t length = b0 < 0x80 ? 1 : (b0 >> 5) == 6 ? 2 : (b0 >> 4) == 14 ? 3 : 4;
        length = std::min(length, folded.size() - i);
        char32_t cp = length == 1 ? b0 : (b0 & (0x7F >> length));
        for (size_t k = 1; k < length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(folded[i + k]) & 0x3F);
        out += cp;
        i += length;
    }
    return out;
}

bool Match(const std::u32string& p, size_t pi, const std::u32string& s, size_t si) {
    // Iterative glob with single-star backtracking: linear in practice, never exponential.
    size_t starP = std::u32string::npos, starS = 0;
    while (si < s.size()) {
        if (pi < p.size() && (p[pi] == U'?' || p[pi] == s[si])) {
            ++pi;
            ++si;
        } else if (pi < p.size() && p[pi] == U'*') {
            starP = pi++;
            starS = si;
        } else if (starP != std::u32string::npos) {
            pi = starP + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == U'*') ++pi;
    return pi == p.size();
}

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Match for ASCII texts, whose upper-casing changes only the letters a to z: the same walk,
// comparing upper-cased bytes in place.
bool MatchAscii(std::string_view p, std::string_view s) {
    size_t pi = 0, si = 0, starP = std::string_view::npos, starS = 0;
    while (si < s.size()) {
        if (pi < p.size() && (p[pi] == '?' || AsciiUpper(p[pi]) == AsciiUpper(s[si]))) {
            ++pi;
            ++si;
        } else if (pi < p.size() && p[pi] == '*') {
            starP = pi++;
            starS = si;
        } else if (starP != std::string_view::npos) {
            pi = starP + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    if (pattern == "*.*" || pattern == "*") return true;
    // A folder of thousands of "run123.stg" need not go through the Unicode case rules name by name.
    if (IsAscii(pattern) && IsAscii(name)) return MatchAscii(pattern, name);
    return Match(FoldedCodePoints(pattern), 0, FoldedCodePoints(name), 0);
}

std::string FileTitle(std::string_view name) {
    const size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

bool FolderExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<FileEntry> FindFiles(std::string_view pattern) {
    const size_t slash = pattern.rfind('/');
    const std::string folder = slash == std::string_view::npos ? std::string() : std::string(pattern.substr(0, slash));
    const std::string_view wildcard = slash == std::string_view::npos ? pattern : pattern.substr(slash + 1);
    const std::string openPath = folder.empty() ? "/" : folder;

    std::vector<FileEntry> entries;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(openPath.c_str()), ::closedir);
    if (!dir) return entries;
    while (const dirent* d = ::readdir(dir.get())) {
        const std::string_view name = d->d_name;
        if (!WildcardMatch(wildcard, name)) continue;
        FileEntry entry;
        entry.name = name;
        entry.title = FileTitle(name);
        entry.fullPath = folder + "/" + entry.name;
        struct stat st;
        // Relative to the open folder, so the kernel does not walk the whole path per file (a
        // folder scan stats thousands of chromatograms). A dangling link still is an entry of
        // the folder: fall back to the link itself.
        const int folderFd = ::dirfd(dir.get());
        if (::fstatat(folderFd, d->d_name, &st, 0) != 0 &&
            ::fstatat(folderFd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        entry.isDirectory = S_ISDIR(st.st_mode);
        entry.lastWriteTime = static_cast<std::int64_t>(st.st_mtime);
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const FileEntry& a, const FileEntry& b) {
        const int c = CompareIgnoreCase(a.name, b.name);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    return entries;
}

FileListing ListFiles(std::string_view pattern) {
    const size_t slash = pattern.rfind('/');
    const std::string folder = slash == std::string_view::npos ? std::string() : std::string(pattern.substr(0, slash));
    const std::string_view wildcard = slash == std::string_view::npos ? pattern : pattern.substr(slash + 1);
    const std::string openPath = folder.empty() ? "/" : folder;

    FileListing listing;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(openPath.c_str()), ::closedir);
    if (!dir) {
        listing.error = errno;
        return listing;
    }
    const int folderFd = ::dirfd(dir.get());
    while (true) {
        errno = 0;
        const dirent* d = ::readdir(dir.get());
        if (!d) {
            listing.error = errno;  // 0 at the end of the folder
            break;
        }
        const std::string_view name = d->d_name;
        if (d->d_type == DT_DIR || !WildcardMatch(wildcard, name)) continue;
        bool regular = d->d_type == DT_REG;
        if (d->d_type == DT_LNK || d->d_type == DT_UNKNOWN) {
            // As FindFiles: what a link points to, or the link itself when it dangles.
            struct stat st;
            if (::fstatat(folderFd, d->d_name, &st, 0) != 0 && ::fstatat(folderFd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (S_ISDIR(st.st_mode)) continue;
            regular = S_ISREG(st.st_mode);
        }
        ListedFile file;
        file.name = name;
        file.title = FileTitle(name);
        file.fullPath = folder + "/" + file.name;
        file.regular = regular;
        file.inode = d->d_ino;
        listing.files.push_back(std::move(file));
    }
    return listing;
}

}  // namespace platform
