// ostrel-cli history [--verify]
// Prints the audit trail of method changes as a JSON array, one line of the trail an element (a
// line that is no JSON object, a torn write, as {"unparsed": "<its text>"}). With --verify it
// also checks the chain of the lines and that every kept copy still has its recorded hash, and
// exits 1 naming the first bad line. A torn line is reported on standard error, not a failure.
#include "cli/Command.h"
#include "cli/Json.h"
#include "core/AuditLog.h"
#include "core/Settings.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace {

constexpr const char* kName = "history";
constexpr const char* kHelp =
    "Prints the audit trail of method changes (save-method, restore-method, \"Сохранить в метод\")\n"
    "as a JSON array, one line of the trail an element; a line that is no JSON object (a write cut\n"
    "short) as {\"unparsed\": TEXT}, and reported on standard error.\n"
    "\n"
    "options:\n"
    "  --verify   also check the chain of the lines and that every kept copy of a method still has\n"
    "             the hash recorded for it; the first bad line is named on standard error\n"
    "\n"
    "exit status: 0 printed (and, with --verify, sound); 1 the trail cannot be read, or --verify\n"
    "found a broken chain or a kept copy missing or changed; 2 usage error.\n";

std::string FindingText(const core::AuditFinding& finding) {
    const std::string line = "audit trail line " + std::to_string(finding.line);
    switch (finding.kind) {
    case core::AuditFinding::Kind::ChainBroken:
        return line + ": the chain is broken (its \"prev\" is not the hash of the line before it: a line was " +
               "edited, removed or inserted)";
    case core::AuditFinding::Kind::TornLine: return line + " is torn (a write was cut short); it is kept as it is";
    case core::AuditFinding::Kind::BackupMissing: return line + ": the kept copy " + finding.backup + " is missing";
    case core::AuditFinding::Kind::BackupChanged:
        return line + ": the kept copy " + finding.backup + " no longer has the recorded hash";
    }
    return line;
}

int RunHistory(std::span<const std::string> args) {
    bool verify = false;
    for (const std::string& arg : args) {
        if (arg != "--verify" || verify) return cli::UsageError(kName, "unexpected argument: '" + arg + "'");
        verify = true;
    }
    core::UseApplicationRegistryKey();
    const std::string path = core::AuditLogPath();
    const std::optional<core::AuditLines> log = core::ReadAuditLog(path);
    if (!log) {
        std::fprintf(stderr, "ostrel-cli: cannot read the audit trail %s\n", path.c_str());
        return cli::kExitFailed;
    }

    std::string out = "[";
    for (std::size_t i = 0; i < log->lines.size(); ++i) {
        const std::string& line = log->lines[i];
        const nlohmann::json value = nlohmann::json::parse(line, nullptr, false);
        out += i == 0 ? "\n" : ",\n";
        out += value.is_object() ? line : "{\"unparsed\": " + cli::JsonQuote(line) + "}";
    }
    out += log->lines.empty() ? "]\n" : "\n]\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);

    const std::vector<core::AuditFinding> findings = verify ? core::VerifyAuditLog(*log) : core::CheckAuditChain(*log);
    for (const core::AuditFinding& finding : findings) {
        if (finding.kind == core::AuditFinding::Kind::TornLine) {
            std::fprintf(stderr, "ostrel-cli: %s\n", FindingText(finding).c_str());
        } else if (verify) {
            std::fprintf(stderr, "ostrel-cli: %s\n", FindingText(finding).c_str());
            return cli::kExitFailed;
        }
    }
    return cli::kExitOk;
}

const cli::Registrar registrar{{kName, "history [--verify]", RunHistory, kHelp}};

}  // namespace
