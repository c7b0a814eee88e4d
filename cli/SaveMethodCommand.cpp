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

int RunSaveMethod(std::span<const std::string> args) {
    if (args.size() != 2) return cli::UsageError("save-method", "expected a method title and a coefficient");
    const std::optional<double> coefficient = core::ParseNumber(args[1]);
    if (!coefficient) return cli::UsageError("save-method", "not a number: '" + args[1] + "'");
    core::UseApplicationRegistryKey();
    return cli::PrintMethodReport(core::SaveCoefficient(args[0], *coefficient, {"ostrel-cli"}), false);
}

const cli::Registrar registrar{{"save-method", "save-method TITLE COEFFICIENT", RunSaveMethod}};

}  // namespace
