// ostrel-cli restore-method TITLE [--from FILE]
// Puts a kept copy of the method back: the newest unless FILE names one. The method's present
// bytes are kept and the change recorded, so a restore can be undone the same way. Exit status
// 1 when nothing was restored.
#include "cli/Command.h"
#include "cli/MethodReport.h"
#include "core/MethodWrite.h"
#include "core/Settings.h"

namespace {

constexpr const char* kName = "restore-method";
constexpr const char* kHelp =
    "Puts a kept copy of the method TITLE back into the method folder: the newest copy, or FILE.\n"
    "The method's present bytes are kept first and the change recorded in the audit trail, so a\n"
    "restore is undone the same way. Prints {\"patched\", \"from\", \"old\", \"new\", \"backup\"} and,\n"
    "when nothing was restored, \"error\" (also on standard error).\n"
    "\n"
    "options:\n"
    "  --from FILE   the kept copy to put back (default: the newest of the method)\n"
    "\n"
    "exit status: 0 restored; 1 nothing was restored (no kept copy, no method folder, the method\n"
    "not writable, ...); 2 usage error.\n";

int RunRestoreMethod(std::span<const std::string> args) {
    std::string title, from;
    bool haveTitle = false, haveFrom = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--from") {
            if (haveFrom || i + 1 == args.size()) return cli::UsageError(kName, "--from takes one file");
            from = args[++i];
            haveFrom = true;
            if (from.empty()) return cli::UsageError(kName, "--from takes one file");
        } else if (!haveTitle && !args[i].starts_with("--")) {
            title = args[i];
            haveTitle = true;
        } else {
            return cli::UsageError(kName, "unexpected argument: '" + args[i] + "'");
        }
    }
    if (!haveTitle) return cli::UsageError(kName, "expected a method title");
    core::UseApplicationRegistryKey();
    return cli::PrintMethodReport(core::RestoreMethod(title, from, {"ostrel-cli"}), true);
}

const cli::Registrar registrar{{kName, "restore-method TITLE [--from FILE]", RunRestoreMethod, kHelp}};

}  // namespace
