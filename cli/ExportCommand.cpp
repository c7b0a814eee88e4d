// ostrel-cli export FILE --andi OUT.cdf | --csv OUT.csv: a chromatogram out to other programs.
#include "chromatogram/ChmFile.h"
#include "cli/Command.h"
#include "cli/Json.h"
#include "core/AndiExport.h"
#include "core/CsvExport.h"

#include <chrono>
#include <memory>
#include <optional>

namespace {

constexpr const char* kHelp =
    "Reads the chromatogram FILE and writes it for other programs:\n"
    "  --andi OUT.cdf  an ANDI/AIA chromatography netCDF file (classic format): the signal, its\n"
    "                  time base and the peak table, times in seconds, the passport's sample,\n"
    "                  method and date\n"
    "  --csv OUT.csv   the signal as CSV: time in minutes and signal, under a heading that names\n"
    "                  the file, the sample and the units\n"
    "At least one of the two; both may be given. Each file is written whole or not at all (a\n"
    "temporary file beside it, renamed when complete). Prints what was written:\n"
    "  {\"path\": FILE, \"samples\": N, \"peaks\": N, \"andi\": OUT.cdf, \"csv\": OUT.csv}\n"
    "\n"
    "exit status: 0 written; 1 FILE could not be read (ostrel-cli: FILE: REASON) or a file could\n"
    "not be written (ostrel-cli: cannot write the ANDI file: OUT: REASON, or the CSV file), and\n"
    "nothing is left under that name; 2 usage error.\n";

struct ExportOptions {
    std::string file;
    std::optional<std::string> andi;
    std::optional<std::string> csv;
};

// Nothing when the arguments are usable; otherwise the usage message.
std::optional<std::string> ParseOptions(std::span<const std::string> args, ExportOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--andi" || a == "--csv") {
            if (i + 1 >= args.size()) return a + " needs a file name";
            (a == "--andi" ? o.andi : o.csv) = args[++i];
        } else if (!a.empty() && a[0] == '-') {
            return "unknown option '" + a + "'";
        } else if (o.file.empty()) {
            o.file = a;
        } else {
            return "export takes one chromatogram file";
        }
    }
    if (o.file.empty()) return std::string("export needs a chromatogram file");
    if (!o.andi && !o.csv) return std::string("export needs --andi OUT.cdf or --csv OUT.csv");
    return std::nullopt;
}

int RunExport(std::span<const std::string> args) {
    ExportOptions options;
    if (const std::optional<std::string> usage = ParseOptions(args, options)) return cli::UsageError("export", *usage);

    const auto file = std::make_unique<chromatogram::ChromatogramFile>();
    chromatogram::ReadFailure failure;
    if (!file->Read(options.file, &failure)) return cli::Failure(options.file + ": " + failure.text);

    bool written = true;
    if (options.andi) {
        const core::AndiExportOptions andi{std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now())};
        if (const std::optional<std::string> reason = core::WriteAndiFile(*options.andi, *file, andi)) {
            cli::Failure("cannot write the ANDI file: " + *reason);
            written = false;
        }
    }
    if (options.csv) {
        if (const std::optional<std::string> reason = core::WriteSignalCsv(*options.csv, *file)) {
            cli::Failure("cannot write the CSV file: " + *reason);
            written = false;
        }
    }
    if (!written) return cli::kExitFailed;

    cli::JsonWriter json;
    json.BeginObject().Field("path", file->path);
    json.Field("samples", static_cast<std::int64_t>(file->signal.samples.size()));
    json.Field("peaks", file->peaks.GetSize());
    if (options.andi) json.Field("andi", *options.andi);
    if (options.csv) json.Field("csv", *options.csv);
    json.EndObject();
    cli::PrintJson(json);
    return cli::kExitOk;
}

const cli::Registrar registrar{{"export", "export FILE [--andi OUT.cdf] [--csv OUT.csv]", RunExport, kHelp}};

}  // namespace
