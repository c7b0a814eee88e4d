#include "platform/Registry.h"

#include "platform/Account.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace platform {

namespace {

// Settings files are small; anything far larger is not one of ours and is treated as damaged
// rather than read into memory.
constexpr off_t kMaxHiveBytes = 64 << 20;
// A writer holds the lock for one small rewrite; waiting longer means a stuck program, and the
// write then fails as a registry write fails on Windows: silently.
constexpr auto kLockPatience = std::chrono::seconds(10);

std::string& RegistryKeyNameStorage() {
    static std::string name;
    return name;
}

std::string& ProfileNameStorage() {
    static std::string name;
    return name;
}

// The registry key name becomes a folder name, so it must be one plain name.
bool IsUsableFolderName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::string EnvironmentPath(const char* variable) {
    const char* value = std::getenv(variable);
    return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string HiveFileIn(const std::string& configFolder) {
    return configFolder + "/" + RegistryKeyName() + "/registry.reg";
}

// ---- Reading a hive file -------------------------------------------------------------------

struct HiveFile {
    enum class State { Missing, Parsed, Damaged, Unreadable } state = State::Missing;
    RegistryHive hive;  // empty unless Parsed
    mode_t mode = 0600;
};

HiveFile ReadHive(const std::string& path) {
    HiveFile result;
    // O_NONBLOCK so that a FIFO put in the hive's place cannot hang the program.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        result.state = errno == ENOENT ? HiveFile::State::Missing : HiveFile::State::Unreadable;
        return result;
    }
    struct stat st;
    std::string bytes;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok && st.st_size <= kMaxHiveBytes) {
        bytes.resize(static_cast<size_t>(st.st_size) + 1);  // one more, to notice growth
        size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) ok = false;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        bytes.resize(got);
    }
    ::close(fd);
    if (!ok) {
        result.state = HiveFile::State::Unreadable;
        return result;
    }
    result.mode = st.st_mode & 07777;
    std::optional<RegistryHive> hive;
    if (st.st_size <= kMaxHiveBytes && bytes.size() <= static_cast<size_t>(kMaxHiveBytes))
        hive = RegistryHive::Parse(bytes);
    if (!hive) {
        result.state = HiveFile::State::Damaged;
        return result;
    }
    result.state = HiveFile::State::Parsed;
    result.hive = std::move(*hive);
    return result;
}

// ---- Writing a hive file -------------------------------------------------------------------

// The exclusive lock that every writer of one hive takes, on a companion file that is never
// replaced (a lock on the hive itself would go with the old file at the rename).
class HiveLock {
public:
    explicit HiveLock(const std::string& hivePath) {
        fd_ = ::open((hivePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
        if (fd_ < 0) return;
        const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
        while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > deadline) {
                ::close(fd_);
                fd_ = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~HiveLock() {
        if (fd_ >= 0) ::close(fd_);  // releases the lock
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;

    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

std::function<void(HiveWriteStep)>& HiveWriteHook() {
    static std::function<void(HiveWriteStep)> hook;
    return hook;
}

void ReachHiveWriteStep(HiveWriteStep step) {
    if (HiveWriteHook()) HiveWriteHook()(step);
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Replaces the hive with `text` so that a reader, or a crash at any moment, sees either the old
// file or the new one whole.
bool ReplaceHive(const std::string& path, const std::string& text, mode_t mode) {
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) return false;
    bool written = ::fchmod(fd, mode) == 0 && WriteAll(fd, text);
    if (written) ReachHiveWriteStep(HiveWriteStep::TemporaryWritten);
    written = written && ::fsync(fd) == 0;
    if (written) ReachHiveWriteStep(HiveWriteStep::TemporarySynced);
    if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    ReachHiveWriteStep(HiveWriteStep::Renamed);
    SyncFolder(std::filesystem::path(path).parent_path().string());
    return true;
}

struct MovedHives {
    std::mutex mutex;
    std::vector<MovedHive> moves;
};

MovedHives& MovedHiveRecord() {
    static MovedHives record;
    return record;
}

// Keeps a hive that could not be parsed for whoever wants to recover it, and notes the move for
// the program to report.
bool MoveAside(const std::string& path) {
    for (int n = 1; n < 10000; ++n) {
        const std::string aside = path + ".damaged-" + std::to_string(n);
        struct stat st;
        if (::lstat(aside.c_str(), &st) == 0) continue;
        if (errno != ENOENT) return false;
        if (::rename(path.c_str(), aside.c_str()) != 0) return false;
        MovedHives& record = MovedHiveRecord();
        const std::lock_guard<std::mutex> lock(record.mutex);
        record.moves.push_back({path, aside});
        return true;
    }
    return false;
}

enum class Change { None, Made, Failed };

// One locked read-change-write of the hive. A damaged hive is moved aside and the change made
// to an empty one; a hive that cannot be read at all is left alone and the write fails.
bool ModifyHive(const std::string& path, const std::function<Change(RegistryHive&)>& change) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return false;
    const HiveLock lock(path);
    if (!lock.Held()) return false;
    HiveFile file = ReadHive(path);
    if (file.state == HiveFile::State::Unreadable) return false;
    if (file.state == HiveFile::State::Damaged && !MoveAside(path)) return false;
    switch (change(file.hive)) {
    case Change::None: return true;
    case Change::Failed: return false;
    case Change::Made: return ReplaceHive(path, file.hive.Serialize(), file.mode);
    }
    return false;
}

std::optional<std::vector<std::string>> FullPath(RootKey root, std::string_view path) {
    std::vector<std::string> names{std::string(RootKeyName(root))};
    if (path.empty()) return names;
    std::optional<std::vector<std::string>> below = RegistryHive::SplitPath(path);
    if (!below || below->size() >= kMaxKeyDepth) return std::nullopt;
    names.insert(names.end(), below->begin(), below->end());
    return names;
}

std::string HiveFileOf(RootKey root) {
    return root == RootKey::CurrentUser ? UserHivePath() : MachineHivePath();
}

}  // namespace

void SetHiveWriteHook(std::function<void(HiveWriteStep)> hook) { HiveWriteHook() = std::move(hook); }

std::vector<MovedHive> TakeHivesMovedAside() {
    MovedHives& record = MovedHiveRecord();
    const std::lock_guard<std::mutex> lock(record.mutex);
    return std::exchange(record.moves, {});
}

std::string_view RootKeyName(RootKey root) {
    return root == RootKey::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

void SetRegistryKeyName(std::string name) { RegistryKeyNameStorage() = std::move(name); }
const std::string& RegistryKeyName() { return RegistryKeyNameStorage(); }
void SetProfileName(std::string name) { ProfileNameStorage() = std::move(name); }
const std::string& ProfileName() { return ProfileNameStorage(); }

std::string ApplicationKeyPath() {
    if (RegistryKeyName().empty() || ProfileName().empty()) return {};
    return "Software\\" + RegistryKeyName() + "\\" + ProfileName();
}

std::string UserHivePath() {
    if (!IsUsableFolderName(RegistryKeyName())) return {};
    std::string config = EnvironmentPath("XDG_CONFIG_HOME");
    if (config.empty()) {
        const std::string home = HomeFolder();
        if (home.empty()) return {};
        config = home + "/.config";
    }
    return HiveFileIn(config);
}

std::string MachineHivePath() {
    if (!IsUsableFolderName(RegistryKeyName())) return {};
    const char* value = std::getenv("XDG_CONFIG_DIRS");
    std::string_view folders = value && value[0] ? value : "/etc/xdg";
    while (!folders.empty()) {
        const size_t colon = folders.find(':');
        const std::string folder(folders.substr(0, colon));
        folders.remove_prefix(colon == std::string_view::npos ? folders.size() : colon + 1);
        if (folder.empty() || folder[0] != '/') continue;  // relative entries are ignored, as XDG says
        const std::string file = HiveFileIn(folder);
        struct stat st;
        if (::stat(file.c_str(), &st) == 0) return file;
    }
    return {};
}

std::optional<RegistryKey> RegistryKey::Open(RootKey root, std::string_view path, Access access) {
    std::optional<std::vector<std::string>> names = FullPath(root, path);
    std::string hiveFile = HiveFileOf(root);
    if (!names || hiveFile.empty()) return std::nullopt;
    if (names->size() > 1 && !ReadHive(hiveFile).hive.Find(*names)) return std::nullopt;
    return RegistryKey(root, std::move(*names), std::move(hiveFile), access);
}

std::optional<RegistryKey> RegistryKey::Create(RootKey root, std::string_view path, Access access) {
    if (std::optional<RegistryKey> existing = Open(root, path, access)) return existing;
    if (root != RootKey::CurrentUser) return std::nullopt;
    std::optional<std::vector<std::string>> names = FullPath(root, path);
    std::string hiveFile = HiveFileOf(root);
    if (!names || hiveFile.empty()) return std::nullopt;
    const bool created = ModifyHive(hiveFile, [&](RegistryHive& hive) {
        if (hive.Find(*names)) return Change::None;  // another program created it meanwhile
        return hive.Create(*names) ? Change::Made : Change::Failed;
    });
    if (!created) return std::nullopt;
    return RegistryKey(root, std::move(*names), std::move(hiveFile), access);
}

std::optional<RegistryValue> RegistryKey::Query(std::string_view name) const {
    const HiveFile file = ReadHive(hiveFile_);
    const RegistryHive::Key* key = file.hive.Find(path_);
    if (!key) return std::nullopt;
    const auto it = key->values.find(std::string(name));
    if (it == key->values.end()) return std::nullopt;
    return it->second;
}

bool RegistryKey::Set(std::string_view name, std::uint32_t type, std::string_view data) const {
    if (access_ != Access::ReadWrite || root_ != RootKey::CurrentUser || !IsStorableValueName(name))
        return false;
    RegistryValue value{type, std::string(data)};
    return ModifyHive(hiveFile_, [&](RegistryHive& hive) {
        RegistryHive::Key* key = hive.Create(path_);
        if (!key) return Change::Failed;
        const auto it = key->values.find(std::string(name));
        if (it != key->values.end() && it->second == value) return Change::None;
        key->values.insert_or_assign(std::string(name), std::move(value));
        return Change::Made;
    });
}

}  // namespace platform
