#include "core/MethodFile.h"
#include "core/Settings.h"
#include "cli/Arguments.h"
#include "cli/Command.h"
#include "cli/Json.h"

namespace {

int RunSaveMethod(std::span<const std::string> args) {
    if (args.size() != 2) return cli::UsageError("save-method", "expected a method title and a coefficient");
    const std::optional<double> coefficient = cli::ParseDouble(args[1]);
    if (!coefficient) return cli::UsageError("save-method", "not a number: '" + args[1] + "'");
    core::UseApplicationRegistryKey();
    cli::JsonWriter json;
    json.BeginObject().Field("patched", core::SaveToMethod(args[0], *coefficient)).EndObject();
    cli::PrintJson(json);
    return cli::kExitOk;
}

const cli::Registrar registrar{{"save-method", "save-method TITLE COEFFICIENT", RunSaveMethod}};

}  // namespace
