// ostrel-cli methods: the titles of the method files, as the dialog's method list shows them.
#include "core/MethodFile.h"
#include "cli/MethodFolder.h"
#include "cli/Command.h"
#include "cli/Json.h"

namespace {

constexpr const char* kHelp =
    "Lists the titles (file names without \".mtd\") of the method files in the method folder, the\n"
    "value \"MethodPath\" of HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora, as a JSON array of\n"
    "strings in the order of the folder search. Reads the settings only, never writes them.\n"
    "\n"
    "exit status: 0 listed (a folder that is missing or holds no method lists nothing);\n"
    "1 no method folder is set; 2 an argument was given.\n";

int RunMethods(std::span<const std::string> args) {
    if (!args.empty()) return cli::UsageError("methods", "methods takes no arguments");
    if (!cli::MethodFolderIsSet()) return cli::kExitFailed;
    cli::JsonWriter json;
    json.BeginArray();
    for (const std::string& title : core::ListMethodTitles()) json.String(title);
    json.EndArray();
    cli::PrintJson(json);
    return cli::kExitOk;
}

const cli::Registrar registrar{{"methods", "methods", RunMethods, kHelp}};

}  // namespace
