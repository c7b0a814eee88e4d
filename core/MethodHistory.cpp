#include "core/MethodHistory.h"

#include "core/FileIo.h"
#include "core/Settings.h"
#include "core/WriteSteps.h"
#include "platform/Account.h"
#include "platform/FileSearch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace core {

namespace {

constexpr std::size_t kStampLength = 16;  // YYYYMMDDTHHMMSSZ
constexpr const char* kCopyExtension = ".mtd";
constexpr int kMaxCopiesPerSecond = 100000;

bool IsDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "20261210T101500Z.mtd" or "20261210T101500Z-3.mtd" as a copy; false for any other name.
bool ParseCopyName(std::string_view name, KeptCopy& copy) {
    const std::string_view extension = kCopyExtension;
    if (name.size() < kStampLength + extension.size() || !name.ends_with(extension)) return false;
    name.remove_suffix(extension.size());
    const std::string_view stamp = name.substr(0, kStampLength);
    if (!IsDigits(stamp.substr(0, 8)) || stamp[8] != 'T' || !IsDigits(stamp.substr(9, 6)) || stamp[15] != 'Z')
        return false;
    const std::string_view rest = name.substr(kStampLength);
    copy.stamp = std::string(stamp);
    copy.sequence = 0;
    if (rest.empty()) return true;
    if (rest[0] != '-' || !IsDigits(rest.substr(1)) || rest.size() > 7) return false;
    copy.sequence = std::atoi(std::string(rest.substr(1)).c_str());
    return true;
}

std::string CopyName(const std::string& stamp, int sequence) {
    return sequence == 0 ? stamp + kCopyExtension : stamp + "-" + std::to_string(sequence) + kCopyExtension;
}

// A hidden file of its own in `folder`, opened for writing; -1 on failure.
int CreateTemporary(const std::string& folder, std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = folder + "/.keeping-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0444);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

std::string DataFolder() {
    std::string data;
    if (const char* value = std::getenv("XDG_DATA_HOME"); value && value[0] == '/') {
        data = value;
    } else {
        const std::string home = platform::HomeFolder();
        if (home.empty()) return {};
        data = home + "/.local/share";
    }
    return data + "/" + kRegistryKey + "/" + kSettingsSection;
}

std::string MethodHistoryFolder(std::string_view title) {
    const std::string data = DataFolder();
    return data.empty() ? std::string() : data + "/methods/" + std::string(title);
}

std::vector<KeptCopy> ListKeptCopies(std::string_view title) {
    std::vector<KeptCopy> copies;
    const std::string folder = MethodHistoryFolder(title);
    if (folder.empty()) return copies;
    for (const platform::FileEntry& entry : platform::FindFiles(folder + "/*" + kCopyExtension)) {
        KeptCopy copy;
        if (entry.isDirectory || !ParseCopyName(entry.name, copy)) continue;
        copy.path = folder + "/" + entry.name;
        copies.push_back(std::move(copy));
    }
    std::sort(copies.begin(), copies.end(), [](const KeptCopy& a, const KeptCopy& b) {
        return a.stamp != b.stamp ? a.stamp < b.stamp : a.sequence < b.sequence;
    });
    return copies;
}

std::string CopyStamp(std::chrono::system_clock::time_point moment) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02dZ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                  utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

std::string KeepCopy(std::string_view title, std::string_view bytes, std::chrono::system_clock::time_point moment) {
    const std::string folder = MethodHistoryFolder(title);
    if (folder.empty() || !MakeFolders(folder)) return {};
    std::string temporary;
    const int fd = CreateTemporary(folder, temporary);
    if (fd < 0) return {};
    const std::size_t half = bytes.size() / 2;
    bool written = WriteAll(fd, bytes.substr(0, half));
    PassWriteStep("backup-partial");
    written = written && WriteAll(fd, bytes.substr(half)) && ::fsync(fd) == 0;
    ::close(fd);
    std::string kept;
    const std::string stamp = CopyStamp(moment);
    for (int sequence = 0; written && kept.empty() && sequence < kMaxCopiesPerSecond; ++sequence) {
        const std::string path = folder + "/" + CopyName(stamp, sequence);
        // link() never replaces an existing name, unlike rename(): two copies in one second both stay.
        if (::link(temporary.c_str(), path.c_str()) == 0)
            kept = path;
        else if (errno != EEXIST)
            break;
    }
    ::unlink(temporary.c_str());
    if (kept.empty() || !SyncFolder(folder)) return {};
    PassWriteStep("backup-kept");
    return kept;
}

}  // namespace core
