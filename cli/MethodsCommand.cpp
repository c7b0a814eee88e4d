#include "app/MethodFile.h"
#include "app/XTPRegistryManager.h"
#include "cli/Command.h"
#include "cli/Json.h"

namespace {

int RunMethods(std::span<const std::string> args) {
    if (!args.empty()) return cli::UsageError("methods", "methods takes no arguments");
    app::UseApplicationRegistryKey();
    cli::JsonWriter json;
    json.BeginArray();
    for (const std::string& title : app::ListMethodTitles()) json.String(title);
    json.EndArray();
    cli::PrintJson(json);
    return cli::kExitOk;
}

const cli::Registrar registrar{{"methods", "methods", RunMethods}};

}  // namespace
