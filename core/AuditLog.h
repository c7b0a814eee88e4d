#pragma once

#include "core/Message.h"

#include <nlohmann/json_fwd.hpp>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The audit trail of method changes: $XDG_DATA_HOME/Tarnwick/Ostrel/audit.jsonl, one JSON object
// a line, append-only. Every line has "prev", the SHA-256 of the previous line's bytes (without
// its newline; of the empty string for the first line), so that a line edited, removed or
// inserted by hand breaks the chain at the line after it. The last line is covered only once
// another follows it.
//
// Appends are made under an exclusive lock of the log file itself (flock; the file is never
// replaced), as one whole line, and synced before they count as made. A line that was being
// written when the program was killed stays as it is, torn (no newline at the end): it is
// reported, never rewritten; the next append first ends it with a newline and chains onto its
// bytes. A log whose chain is broken is never rewritten either: the program says so once (it
// appends an "audit-check" line naming the line, so that it is not said again) and appends after.
namespace core {

// The audit trail's path: DataFolder() + "/audit.jsonl"; "" without a data folder.
std::string AuditLogPath();

// A log's lines: the bytes of each, without the newline.
struct AuditLines {
    std::vector<std::string> lines;
    bool lastLineTorn = false;  // the file does not end with a newline: the last write was cut
};
AuditLines SplitAuditLog(std::string_view text);

// What the chain check finds. Lines are numbered from 1.
struct AuditFinding {
    enum class Kind {
        ChainBroken,    // the line's "prev" is not the hash of the line before it
        TornLine,       // the line is no JSON object: a write that was cut (a warning)
        BackupMissing,  // the kept copy the line names is gone
        BackupChanged,  // the kept copy the line names no longer has the hash recorded as "before"
    };
    Kind kind;
    std::size_t line;
    std::string backup;  // for the backup findings
};

// The chain breaks and the torn lines of `log`, in line order.
std::vector<AuditFinding> CheckAuditChain(const AuditLines& log);

// What `history --verify` checks: the chain, and that every kept copy a line names still has the
// hash the line recorded as "before". Findings in line order; only TornLine is not a fault.
std::vector<AuditFinding> VerifyAuditLog(const AuditLines& log);

// The text of a finding for the operator ("строка 3: цепочка нарушена ..."), in the translation
// context "AuditFinding".
Message AuditFindingMessage(const AuditFinding& finding);
// The same in Russian, as ostrel-cli and the audit trail give it.
std::string AuditFindingText(const AuditFinding& finding);

// Reads the log at `path` under a shared lock (so that no append is seen half made). Nothing
// when it cannot be read; an absent log reads as empty.
std::optional<AuditLines> ReadAuditLog(const std::string& path);

// The log opened for appending, holding its lock until it goes.
class AuditLog {
public:
    // Creates the log (and its folders) when there is none, takes the lock (waiting a while for
    // another writer) and reads what is there. Nothing when any of that fails.
    static std::optional<AuditLog> Open(const std::string& path);

    AuditLog(AuditLog&& other) noexcept;
    AuditLog& operator=(AuditLog&&) = delete;
    AuditLog(const AuditLog&) = delete;
    ~AuditLog();

    const AuditLines& Lines() const { return lines_; }
    const std::string& Path() const { return path_; }

    // Appends `record` (a JSON object; its "prev" is set here) as one line and syncs the file.
    // True once the line is durable. On a failed write the bytes of this line are cut off again;
    // nothing written before is ever changed. `partialStep` names the write step passed between
    // the two halves of the line (core/WriteSteps.h).
    bool Append(nlohmann::ordered_json record, const char* partialStep = nullptr);

private:
    AuditLog(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}

    std::string path_;
    int fd_ = -1;
    AuditLines lines_;
};

}  // namespace core
