#include "core/MethodFile.h"
#include "core/Settings.h"
#include "cli/Command.h"
#include "cli/Json.h"

namespace {

int RunMethods(std::span<const std::string> args) {
    if (!args.empty()) return cli::UsageError("methods", "methods takes no arguments");
    core::UseApplicationRegistryKey();
    cli::JsonWriter json;
    json.BeginArray();
    for (const std::string& title : core::ListMethodTitles()) json.String(title);
    json.EndArray();
    cli::PrintJson(json);
    return cli::kExitOk;
}

const cli::Registrar registrar{{"methods", "methods", RunMethods}};

}  // namespace
