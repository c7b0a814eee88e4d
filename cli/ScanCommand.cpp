// ostrel-cli scan FOLDER [--type any|calibration|analysis]: the chromatograms of a folder as the
// open dialog lists them, newest first, so that a script can find, say, a folder's calibration
// runs.
#include "chromatogram/FolderScan.h"
#include "cli/Command.h"
#include "cli/Json.h"

#include <cstdio>
#include <cstring>
#include <optional>

namespace {

constexpr const char* kCommand = "scan";
constexpr const char* kHelp =
    "Lists the chromatograms (*.stg) of FOLDER as the open dialog does, newest first, each with\n"
    "fileTitle, path, sampleName, methodName, samplingSite, samplingPoint, dateTime (seconds since\n"
    "1970), isCalibration (the passport's integer, as passport and read print it; nonzero: a\n"
    "calibration run) and readable (false: its passport could not be read; its date is then the\n"
    "file's). Files that disappear while the folder is read are counted on standard error.\n"
    "\n"
    "options:\n"
    "  --type any|calibration|analysis   only the calibration runs, or only the others (default any)\n"
    "\n"
    "exit status: 0 listed; 1 the folder cannot be listed; 2 usage error.\n";

std::optional<chromatogram::ScanType> ParseType(const std::string& text) {
    if (text == "any") return chromatogram::ScanType::Any;
    if (text == "calibration") return chromatogram::ScanType::Calibration;
    if (text == "analysis") return chromatogram::ScanType::Analysis;
    return std::nullopt;
}

// The folder's pattern: "runs/" and "runs" alike; "/" stays the root.
std::string PatternOf(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return (folder == "/" ? "" : folder) + "/*.stg";
}

int RunScan(std::span<const std::string> args) {
    std::optional<std::string> folder;
    chromatogram::ScanType type = chromatogram::ScanType::Any;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--type") {
            if (i + 1 == args.size()) return cli::UsageError(kCommand, "--type needs any, calibration or analysis");
            const auto parsed = ParseType(args[++i]);
            if (!parsed) return cli::UsageError(kCommand, "unknown type '" + args[i] + "'");
            type = *parsed;
        } else if (!folder && !(args[i].size() > 1 && args[i][0] == '-')) {
            folder = args[i];
        } else {
            return cli::UsageError(kCommand, "unexpected argument '" + args[i] + "'");
        }
    }
    if (!folder) return cli::UsageError(kCommand, "scan needs a folder");

    chromatogram::ScanProgress outcome;
    const std::vector<chromatogram::ScannedFile> files = chromatogram::ScanFolder(PatternOf(*folder), type, &outcome);
    cli::JsonWriter json;
    json.BeginArray();
    for (const chromatogram::ScannedFile& f : files) {
        json.BeginObject()
            .Field("fileTitle", f.fileTitle)
            .Field("path", f.path)
            .Field("sampleName", f.sampleName)
            .Field("methodName", f.methodName)
            .Field("samplingSite", f.samplingSite)
            .Field("samplingPoint", f.samplingPoint)
            .Field("dateTime", static_cast<std::int64_t>(f.dateTime.time_since_epoch().count()))
            .Field("isCalibration", f.isCalibration)
            .Field("readable", f.readable)
            .EndObject();
    }
    cli::PrintJson(json.EndArray());
    if (outcome.vanished > 0)
        std::fprintf(stderr, "ostrel-cli: %zu file(s) of %s disappeared while the folder was read\n", outcome.vanished,
                     folder->c_str());
    if (outcome.listError != 0) {
        std::fprintf(stderr, "ostrel-cli: cannot list %s: %s\n", folder->c_str(), std::strerror(outcome.listError));
        return cli::kExitFailed;
    }
    return cli::kExitOk;
}

const cli::Registrar registrar{{kCommand, "scan FOLDER [--type any|calibration|analysis]", RunScan, kHelp}};

}  // namespace
