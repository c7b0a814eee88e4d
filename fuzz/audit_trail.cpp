// The audit trail's reader over arbitrary bytes (the trail is a file anyone with the account can
// edit): splitting it into lines and checking the chain must never crash or hang, every finding
// must name a line that exists and have a text, and the lines must give back the bytes they came
// from. The kept copies a line names are not opened: that would read whatever path the bytes name.
#include "core/AuditLog.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const core::AuditLines log = core::SplitAuditLog(bytes);
    std::string joined;
    for (std::size_t i = 0; i < log.lines.size(); ++i) {
        if (i > 0) joined += '\n';
        joined += log.lines[i];
    }
    if (!log.lines.empty() && !log.lastLineTorn) joined += '\n';
    if (joined != bytes) std::abort();
    for (const core::AuditFinding& finding : core::CheckAuditChain(log)) {
        if (finding.line < 1 || finding.line > log.lines.size()) std::abort();
        if (core::AuditFindingText(finding).empty()) std::abort();
    }
    return 0;
}
