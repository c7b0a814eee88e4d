// ostrel-cli read FILE [FILE...]: reads the files in turn into one chromatogram object, as one
// calibration pass does, and prints the object's state after each read.
#include "chromatogram/ChmFile.h"
#include "cli/ChromatogramJson.h"
#include "cli/Command.h"
#include "cli/Json.h"

#include <memory>

namespace {

int RunRead(std::span<const std::string> args) {
    if (args.empty()) return cli::UsageError("read", "read needs at least one file");
    // One object for all files: what a failed read leaves behind is part of what is shown.
    const auto file = std::make_unique<chromatogram::ChromatogramFile>();
    bool allRead = true;
    cli::JsonWriter json;
    json.BeginArray();
    for (const std::string& path : args) {
        const bool ok = file->Read(path);
        allRead = allRead && ok;
        json.BeginObject().Field("ok", ok).Field("path", file->path);
        cli::WriteChromatogramState(json, *file);
        json.EndObject();
    }
    json.EndArray();
    cli::PrintJson(json);
    return allRead ? cli::kExitOk : cli::kExitFailed;
}

const cli::Registrar registrar{{"read", "read FILE [FILE...]", RunRead}};

}  // namespace
