#include "core/AuditLog.h"

#include "core/FileIo.h"
#include "core/MethodHistory.h"
#include "core/Sha256.h"
#include "core/WriteSteps.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <thread>
#include <utility>

namespace core {

namespace {

// Another writer holds the lock only for the moments of one method write.
constexpr auto kLockWait = std::chrono::seconds(10);
constexpr auto kLockRetry = std::chrono::milliseconds(20);

bool LockWithin(int fd, int operation) {
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        if (::flock(fd, operation | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kLockRetry);
    }
}

std::optional<nlohmann::json> ParseObject(const std::string& line) {
    nlohmann::json value = nlohmann::json::parse(line, nullptr, false);
    if (value.is_discarded() || !value.is_object()) return std::nullopt;
    return value;
}

std::string StringField(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace

std::string AuditLogPath() {
    const std::string data = DataFolder();
    return data.empty() ? std::string() : data + "/audit.jsonl";
}

AuditLines SplitAuditLog(std::string_view text) {
    AuditLines log;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            log.lines.emplace_back(text);
            log.lastLineTorn = true;
            break;
        }
        log.lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return log;
}

std::vector<AuditFinding> CheckAuditChain(const AuditLines& log) {
    std::vector<AuditFinding> findings;
    std::string expected = Sha256Hex("");
    for (std::size_t i = 0; i < log.lines.size(); ++i) {
        const std::optional<nlohmann::json> object = ParseObject(log.lines[i]);
        if (!object)
            findings.push_back({AuditFinding::Kind::TornLine, i + 1, {}});
        else if (StringField(*object, "prev") != expected)
            findings.push_back({AuditFinding::Kind::ChainBroken, i + 1, {}});
        expected = Sha256Hex(log.lines[i]);
    }
    return findings;
}

std::vector<AuditFinding> VerifyAuditLog(const AuditLines& log) {
    std::vector<AuditFinding> findings = CheckAuditChain(log);
    std::map<std::string, std::optional<std::string>> copyHashes;  // a copy is named by two lines
    for (std::size_t i = 0; i < log.lines.size(); ++i) {
        const std::optional<nlohmann::json> object = ParseObject(log.lines[i]);
        if (!object) continue;
        const std::string backup = StringField(*object, "backup");
        if (backup.empty()) continue;
        auto [it, added] = copyHashes.try_emplace(backup);
        if (added) it->second = Sha256OfFile(backup);
        if (!it->second)
            findings.push_back({AuditFinding::Kind::BackupMissing, i + 1, backup});
        else if (*it->second != StringField(*object, "before"))
            findings.push_back({AuditFinding::Kind::BackupChanged, i + 1, backup});
    }
    std::stable_sort(findings.begin(), findings.end(),
                     [](const AuditFinding& a, const AuditFinding& b) { return a.line < b.line; });
    return findings;
}

Message AuditFindingMessage(const AuditFinding& finding) {
    const char* text = "%1";
    switch (finding.kind) {
    case AuditFinding::Kind::ChainBroken:
        text = QT_TRANSLATE_NOOP(
            "AuditFinding",
            "строка %1: цепочка нарушена (строка перед ней изменена, удалена или вставлена, или изменена сама эта "
            "строка)");
        break;
    case AuditFinding::Kind::TornLine:
        text = QT_TRANSLATE_NOOP(
            "AuditFinding",
            "строка %1: запись оборвана (программа была прервана во время записи); строка оставлена как есть");
        break;
    case AuditFinding::Kind::BackupMissing:
        text = QT_TRANSLATE_NOOP("AuditFinding", "строка %1: копия метода %2 отсутствует");
        break;
    case AuditFinding::Kind::BackupChanged:
        text = QT_TRANSLATE_NOOP("AuditFinding", "строка %1: копия метода %2 изменена после сохранения");
        break;
    }
    return Message{"AuditFinding", text,
                   {Message::Data(std::to_string(finding.line)), Message::Data(finding.backup)}};
}

std::string AuditFindingText(const AuditFinding& finding) { return RussianText(AuditFindingMessage(finding)); }

std::optional<AuditLines> ReadAuditLog(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno == ENOENT ? std::optional<AuditLines>(AuditLines{}) : std::nullopt;
    std::optional<std::string> text;
    if (LockWithin(fd, LOCK_SH)) text = ReadAll(fd);
    ::close(fd);
    if (!text) return std::nullopt;
    return SplitAuditLog(*text);
}

std::optional<AuditLog> AuditLog::Open(const std::string& path) {
    if (path.empty()) return std::nullopt;
    const std::string folder = ParentFolder(path);
    if (!MakeFolders(folder)) return std::nullopt;
    bool created = true;
    int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    }
    if (fd < 0) return std::nullopt;
    AuditLog log(path, fd);
    if (created && !SyncFolder(folder)) return std::nullopt;
    if (!LockWithin(fd, LOCK_EX)) return std::nullopt;
    const std::optional<std::string> text = ReadAll(fd);
    if (!text) return std::nullopt;
    log.lines_ = SplitAuditLog(*text);
    return log;
}

AuditLog::AuditLog(AuditLog&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)), lines_(std::move(other.lines_)) {}

AuditLog::~AuditLog() {
    if (fd_ >= 0) ::close(fd_);
}

bool AuditLog::Append(nlohmann::ordered_json record, const char* partialStep) {
    record["prev"] = Sha256Hex(lines_.lines.empty() ? std::string() : lines_.lines.back());
    const std::string line = record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    // A torn last line is ended, never changed: the new line starts on a line of its own.
    const std::string bytes = (lines_.lastLineTorn ? "\n" : "") + line + "\n";

    struct stat st;
    if (::fstat(fd_, &st) != 0) return false;
    // One write of the whole line; a test that stops the program halfway splits it in two.
    const std::size_t half = partialStep && WriteStepHookInstalled() ? bytes.size() / 2 : bytes.size();
    bool written = WriteAll(fd_, std::string_view(bytes).substr(0, half));
    if (partialStep) PassWriteStep(partialStep);
    written = written && WriteAll(fd_, std::string_view(bytes).substr(half));
    if (!written) {
        // Only this line's own bytes are cut off again (the lock keeps everyone else out).
        if (::ftruncate(fd_, st.st_size) == 0) ::fdatasync(fd_);
        if (const std::optional<std::string> text = ReadAll(fd_)) lines_ = SplitAuditLog(*text);
        return false;
    }
    // The line is in the file from here on, synced or not: the next line chains onto it.
    lines_.lines.push_back(line);
    lines_.lastLineTorn = false;
    return ::fdatasync(fd_) == 0;
}

}  // namespace core
