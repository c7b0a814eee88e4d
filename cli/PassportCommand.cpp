// ostrel-cli passport FILE: reads only the sample record of a chromatogram file, as the open
// dialog does for every file it lists.
#include "chromatogram/Passport.h"
#include "cli/ChromatogramJson.h"
#include "cli/Command.h"
#include "cli/Json.h"

namespace {

int RunPassport(std::span<const std::string> args) {
    if (args.size() != 1) return cli::UsageError("passport", "passport needs exactly one file");
    chromatogram::Passport passport;
    const bool ok = passport.ReadFromFile(args[0], "Passport");
    cli::JsonWriter json;
    json.BeginObject().Field("ok", ok).Key("passport");
    cli::WritePassport(json, passport);
    json.EndObject();
    cli::PrintJson(json);
    return ok ? cli::kExitOk : cli::kExitFailed;
}

const cli::Registrar registrar{{"passport", "passport FILE", RunPassport}};

}  // namespace
