// ostrel-cli read FILE [FILE...]: reads the files in turn into one chromatogram object, as one
// calibration pass does, and prints the object's state after each read.
#include "chromatogram/ChmFile.h"
#include "cli/ChromatogramJson.h"
#include "cli/Command.h"
#include "cli/Json.h"

#include <memory>

namespace {

constexpr const char* kHelp =
    "Reads the chromatogram files in turn into one chromatogram object, as one calibration pass\n"
    "does, and prints a JSON array with the object's state after each read:\n"
    "  {\"ok\": true|false, \"error\": REASON (only when not ok), \"path\": FILE,\n"
    "   \"signal\": {\"count\", \"startTime\", \"step\"}, \"peaks\": [...], \"tableAttributes\": [...],\n"
    "   \"passport\": {...}}\n"
    "A read that fails keeps the parts of the streams it did not reach from the file before,\n"
    "and they are shown as they are. REASON is short: \"no such file\", \"not a compound file\",\n"
    "\"missing stream \\\"Table\\\"\", \"stream \\\"Table\\\": a value runs past the end of the stream\", ...\n"
    "Each failure is also reported on standard error: ostrel-cli: FILE: REASON.\n"
    "\n"
    "exit status: 0 every file was read; 1 a file could not be read; 2 no file given.\n";

int RunRead(std::span<const std::string> args) {
    if (args.empty()) return cli::UsageError("read", "read needs at least one file");
    // One object for all files: what a failed read leaves behind is part of what is shown.
    const auto file = std::make_unique<chromatogram::ChromatogramFile>();
    bool allRead = true;
    cli::JsonWriter json;
    json.BeginArray();
    for (const std::string& path : args) {
        chromatogram::ReadFailure failure;
        const bool ok = file->Read(path, &failure);
        allRead = allRead && ok;
        json.BeginObject().Field("ok", ok);
        if (!ok) {
            json.Field("error", failure.text);
            cli::Failure(path + ": " + failure.text);
        }
        json.Field("path", file->path);
        cli::WriteChromatogramState(json, *file);
        json.EndObject();
    }
    json.EndArray();
    cli::PrintJson(json);
    return allRead ? cli::kExitOk : cli::kExitFailed;
}

const cli::Registrar registrar{{"read", "read FILE [FILE...]", RunRead, kHelp}};

}  // namespace
