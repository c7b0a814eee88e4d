// ostrel-cli passport FILE: reads only the sample record of a chromatogram file, as the open
// dialog does for every file it lists.
#include "chromatogram/Passport.h"
#include "cli/ChromatogramJson.h"
#include "cli/Command.h"
#include "cli/Json.h"

namespace {

constexpr const char* kHelp =
    "Reads only the sample record (the stream \"Passport\") of a chromatogram file, as the open\n"
    "dialog does for every file it lists, and prints\n"
    "  {\"ok\": true|false, \"error\": REASON (only when not ok), \"passport\": {...}}\n"
    "with every field of the record by name, times as seconds since 1970. When the file or the\n"
    "stream cannot be opened the record shown is the initial one; when the record is cut short,\n"
    "the fields before the cut are the file's. The failure is also reported on standard error:\n"
    "ostrel-cli: FILE: REASON.\n"
    "\n"
    "exit status: 0 the record was read; 1 it could not be read; 2 not exactly one file given.\n";

int RunPassport(std::span<const std::string> args) {
    if (args.size() != 1) return cli::UsageError("passport", "passport needs exactly one file");
    chromatogram::Passport passport;
    std::string failure;
    const bool ok = passport.ReadFromFile(args[0], "Passport", &failure);
    if (!ok) cli::Failure(args[0] + ": " + failure);
    cli::JsonWriter json;
    json.BeginObject().Field("ok", ok);
    if (!ok) json.Field("error", failure);
    json.Key("passport");
    cli::WritePassport(json, passport);
    json.EndObject();
    cli::PrintJson(json);
    return ok ? cli::kExitOk : cli::kExitFailed;
}

const cli::Registrar registrar{{"passport", "passport FILE", RunPassport, kHelp}};

}  // namespace
