#include "core/MethodFile.h"
#include "cli/MethodFolder.h"
#include "core/NumberText.h"
#include "cli/Command.h"
#include "cli/Json.h"

namespace {

constexpr const char* kHelp =
    "Writes COEFFICIENT into the ethanol record of the method TITLE (the file TITLE.mtd of the\n"
    "method folder, the value \"MethodPath\" of HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora), as\n"
    "\"Сохранить в метод\" does, and prints {\"patched\": true|false}: false when the file cannot be\n"
    "opened for writing without sharing (missing, locked, read-only) or holds no ethanol record.\n"
    "COEFFICIENT is read as the dialog's fields read numbers (\"0.25\", \"0,25\", \"2.5e-1\").\n"
    "\n"
    "exit status: 0 done, patched or not; 1 no method folder is set; 2 usage error.\n";

int RunSaveMethod(std::span<const std::string> args) {
    if (args.size() != 2) return cli::UsageError("save-method", "expected a method title and a coefficient");
    const std::optional<double> coefficient = core::ParseNumber(args[1]);
    if (!coefficient) return cli::UsageError("save-method", "not a number: '" + args[1] + "'");
    if (!cli::MethodFolderIsSet()) return cli::kExitFailed;
    cli::JsonWriter json;
    json.BeginObject().Field("patched", core::SaveToMethod(args[0], *coefficient)).EndObject();
    cli::PrintJson(json);
    return cli::kExitOk;
}

const cli::Registrar registrar{{"save-method", "save-method TITLE COEFFICIENT", RunSaveMethod, kHelp}};

}  // namespace
