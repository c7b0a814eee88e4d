// ostrel-cli save-method TITLE COEFFICIENT
// Writes the coefficient into the method's ethanol record the way the dialog does: a copy of the
// method is kept first and the change recorded in the audit trail. Exit status 1 when nothing
// was patched.
#include "cli/Command.h"
#include "cli/MethodReport.h"
#include "core/MethodWrite.h"
#include "core/NumberText.h"
#include "core/Settings.h"

namespace {

constexpr const char* kHelp =
    "Writes COEFFICIENT into the ethanol record of the method TITLE (the file TITLE.mtd of the\n"
    "method folder, the value \"MethodPath\" of HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora), as\n"
    "\"Сохранить в метод\" does: a copy of the method is kept and the change recorded in the audit\n"
    "trail. Prints {\"patched\", \"old\", \"new\", \"backup\"} and, when nothing was written, \"error\"\n"
    "(also on standard error): no method folder, no such method, not writable, locked, no ethanol\n"
    "record, ... COEFFICIENT is read as the dialog's fields read numbers (\"0.25\", \"0,25\",\n"
    "\"2.5e-1\") and must be greater than 0. Reads the settings only, never writes them.\n"
    "\n"
    "exit status: 0 the method was patched; 1 nothing was written; 2 usage error.\n";

int RunSaveMethod(std::span<const std::string> args) {
    if (args.size() != 2) return cli::UsageError("save-method", "expected a method title and a coefficient");
    const std::optional<double> coefficient = core::ParseNumber(args[1]);
    if (!coefficient) return cli::UsageError("save-method", "not a number: '" + args[1] + "'");
    core::UseApplicationRegistryKey();
    return cli::PrintMethodReport(core::SaveCoefficient(args[0], *coefficient, {"ostrel-cli"}), false);
}

const cli::Registrar registrar{{"save-method", "save-method TITLE COEFFICIENT", RunSaveMethod, kHelp}};

}  // namespace
