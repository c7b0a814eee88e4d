// ostrel-cli calibrate [--stored] [--nav X] [--nav2 X] [--dolya X] [--level K=PATH]...
//                     [--chart FILE.png [--size WxH]] [--report FILE.pdf] [--csv FILE] [--check]
// One calibration pass over fresh levels (or the stored settings, loaded as at start-up) with
// the options applied in order; prints the levels, the average coefficient, the chart arrays and
// the quality block (the judgement under the machine's MaxSpread and MaxRetentionShift), and with
// --chart draws the main dialog's chart of them into a PNG (560 x 300 unless --size), which
// ostrel-cli-gui does (cli/WindowProgram.h); with --report writes the calibration protocol of them as a PDF (done by
// ostrel-cli-gui too), with --csv the protocol's level table. It never writes the settings.
#include "core/Calc.h"
#include "core/FileReplace.h"
#include "core/NumberText.h"
#include "core/Protocol.h"
#include "core/ProtocolCsv.h"
#include "core/Quality.h"
#include "core/Settings.h"
#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/PictureSize.h"
#include "cli/WindowProgram.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace {

constexpr const char* kName = "calibrate";
constexpr const char* kHelp =
    "Computes one calibration as the main dialog does and prints it as JSON: \"levels\" (for each of\n"
    "the five: fraction, sampleName, path, ethanolArea, standardArea, ethanolAmount,\n"
    "standardAmount, coefficient, and \"error\" where its file could not be read: why, as\n"
    "ostrel-cli read says it), \"averageCoefficient\" and the chart's arrays \"pointsX\",\n"
    "\"pointsY\", \"lineX\", \"lineY\", and \"quality\": the judgement (deviations, rsd, spread, r2,\n"
    "blankRatio, complete, maxSpread, accepted, problems) under the machine's limit \"MaxSpread\",\n"
    "and \"retention\": {\"этанол\": [...], \"изопропанол\": [...], \"maxShift\"}, for each level\n"
    "{\"time\", \"shift\"}: the peak's retention time and its shift from the levels' median in percent\n"
    "(\"NaN\" where the level has no such peak), under the machine's limit \"MaxRetentionShift\".\n"
    "A level whose file cannot be read counts as empty, as in the dialog, is named among the\n"
    "problems and told on standard error. Never writes the settings.\n"
    "\n"
    "options, applied in the order given (after --stored, wherever it stands):\n"
    "  --stored          start from the stored inputs and level paths, as the dialog starts\n"
    "  --nav X           mass of the ethanol sample\n"
    "  --nav2 X          mass of the isopropanol sample\n"
    "  --dolya X         mass fraction of the main substance\n"
    "  --level K=PATH    the chromatogram of level K: 0 the blank, 1 to 4 the fractions 0.05, 0.1,\n"
    "                    0.2, 0.5 (levels 0 to 4 are stored as the values \"1\" to \"5\");\n"
    "                    an empty PATH empties the level\n"
    "  --chart FILE.png  also draw the dialog's chart into FILE.png (done by ostrel-cli-gui)\n"
    "  --size WxH        the chart's size in pixels, 1 to 8192 each (default 560x300)\n"
    "  --report FILE.pdf also write the calibration protocol, as the dialog's \"Протокол…\" does, as\n"
    "                    an A4 PDF (done by ostrel-cli-gui); with --stored its method is the stored one\n"
    "  --csv FILE        also write the protocol's level table as CSV (RFC 4180, UTF-8, a header row,\n"
    "                    CR LF, point decimals, every digit; an empty field for a figure that does\n"
    "                    not exist)\n"
    "  --check           exit with status 1 when the calibration is not accepted\n"
    "Each file is written whole or not at all: into a temporary file beside it, renamed when complete.\n"
    "Numbers are read as the dialog's fields read them: a point or a comma before the decimals and\n"
    "an optional exponent (\"2.5\", \"2,5\", \"25e-1\"); \"inf\", \"nan\" and hexadecimal are refused.\n"
    "\n"
    "exit status: 0 computed; 1 the chart, the protocol or the table could not be written (the JSON\n"
    "is printed all the same; the reason on standard error), or with --check the calibration is not\n"
    "accepted;\n"
    "2 usage error.\n";
constexpr int kChartWidth = 560;
constexpr int kChartHeight = 300;

struct Options {
    bool stored = false;
    bool check = false;
    std::string chartPath;
    std::optional<std::pair<int, int>> chartSize;
    std::string reportPath;
    std::string csvPath;
    // Applied in order once the state has been built.
    std::vector<std::function<void(core::Calibration&)>> changes;
};

// One option: its name, whether it takes a value, and what it does with it. A usage error
// message comes back when the value is not acceptable.
struct OptionRule {
    const char* name;
    bool takesValue;
    std::function<std::optional<std::string>(const std::string& value, Options& options)> apply;
};

std::optional<std::string> SetInput(double core::Calibration::*input, const std::string& value, Options& options) {
    const std::optional<double> number = core::ParseNumber(value);
    if (!number) return "not a number: '" + value + "'";
    options.changes.push_back([input, x = *number](core::Calibration& c) { c.*input = x; });
    return std::nullopt;
}

std::optional<std::string> SetLevel(const std::string& value, Options& options) {
    if (value.size() < 2 || value[0] < '0' || value[0] > '4' || value[1] != '=')
        return "expected --level K=PATH with K from 0 to 4: '" + value + "'";
    options.changes.push_back([k = value[0] - '0', path = value.substr(2)](core::Calibration& c) {
        c.table[k].path = path;
    });
    return std::nullopt;
}

std::optional<std::string> SetChartSize(const std::string& value, Options& options) {
    const std::optional<cli::PictureSize> size = cli::ParsePictureSize(value);
    if (!size) return cli::PictureSizeError(value);
    options.chartSize = std::pair{size->width, size->height};
    return std::nullopt;
}

const std::vector<OptionRule>& OptionRules() {
    static const std::vector<OptionRule> rules = {
        {"--stored", false, [](const std::string&, Options& o) { o.stored = true; return std::optional<std::string>(); }},
        {"--nav", true, [](const std::string& v, Options& o) { return SetInput(&core::Calibration::nav, v, o); }},
        {"--nav2", true, [](const std::string& v, Options& o) { return SetInput(&core::Calibration::nav2, v, o); }},
        {"--dolya", true, [](const std::string& v, Options& o) { return SetInput(&core::Calibration::dolya, v, o); }},
        {"--level", true, SetLevel},
        {"--chart", true, [](const std::string& v, Options& o) {
             o.chartPath = v;
             return v.empty() ? std::optional<std::string>("--chart needs a file name") : std::nullopt;
         }},
        {"--size", true, SetChartSize},
        {"--report", true, [](const std::string& v, Options& o) {
             o.reportPath = v;
             return v.empty() ? std::optional<std::string>("--report needs a file name") : std::nullopt;
         }},
        {"--csv", true, [](const std::string& v, Options& o) {
             o.csvPath = v;
             return v.empty() ? std::optional<std::string>("--csv needs a file name") : std::nullopt;
         }},
        {"--check", false, [](const std::string&, Options& o) { o.check = true; return std::optional<std::string>(); }},
    };
    return rules;
}

// The options, or a usage error message.
std::variant<Options, std::string> ParseOptions(std::span<const std::string> args) {
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        const OptionRule* option = nullptr;
        for (const OptionRule& rule : OptionRules())
            if (args[i] == rule.name) option = &rule;
        if (!option) return "unknown option '" + args[i] + "'";
        std::string value;
        if (option->takesValue) {
            if (i + 1 >= args.size()) return std::string(option->name) + " needs a value";
            value = args[++i];
        }
        if (std::optional<std::string> error = option->apply(value, options)) return *error;
    }
    if (options.chartSize && options.chartPath.empty()) return std::string("--size needs --chart");
    return options;
}

void WriteFloats(cli::JsonWriter& json, const char* key, const std::vector<float>& values) {
    json.Key(key).BeginArray();
    for (float v : values) json.Float(v);
    json.EndArray();
}

void WriteQuality(cli::JsonWriter& json, const core::CalibrationQuality& q) {
    json.Key("quality").BeginObject().Key("deviations").BeginArray();
    for (double d : q.deviations) json.Double(d);
    json.EndArray()
        .Field("rsd", q.rsd)
        .Field("spread", q.spread)
        .Field("r2", q.r2)
        .Field("blankRatio", q.blankRatio)
        .Field("complete", q.complete)
        .Field("maxSpread", q.maxSpread)
        .Field("accepted", q.accepted)
        .Key("problems")
        .BeginArray();
    for (const std::string& problem : q.problems) json.String(problem);
    json.EndArray().Key("retention").BeginObject();
    for (const auto& [name, agreement] : {std::pair{"этанол", &q.ethanolRetention},
                                          std::pair{"изопропанол", &q.standardRetention}}) {
        json.Key(name).BeginArray();
        for (std::size_t k = 0; k < agreement->times.size(); ++k)
            json.BeginObject().Field("time", agreement->times[k]).Field("shift", agreement->shifts[k]).EndObject();
        json.EndArray();
    }
    json.Field("maxShift", q.maxRetentionShift).EndObject().EndObject();
}

void WriteCalibration(cli::JsonWriter& json, const core::Calibration& c, const core::CalibrationQuality& q) {
    json.BeginObject().Key("levels").BeginArray();
    for (int k = 0; k < core::CalibrationTable::kLevelCount; ++k) {
        const core::CalibrationLevel& level = c.table[k];
        json.BeginObject()
            .Field("fraction", level.fraction)
            .Field("sampleName", level.sampleName)
            .Field("path", level.path)
            .Field("ethanolArea", level.ethanolArea)
            .Field("standardArea", level.standardArea)
            .Field("ethanolAmount", level.ethanolAmount)
            .Field("standardAmount", level.standardAmount)
            .Field("coefficient", level.coefficient);
        if (level.file == core::LevelFile::Unreadable) json.Field("error", level.readFailure.text);
        json.EndObject();
    }
    json.EndArray().Field("averageCoefficient", c.averageCoefficient);
    WriteFloats(json, "pointsX", c.pointsX);
    WriteFloats(json, "pointsY", c.pointsY);
    WriteFloats(json, "lineX", c.lineX);
    WriteFloats(json, "lineY", c.lineY);
    WriteQuality(json, q);
    json.EndObject();
}

// The protocol and its level table, as asked; false when one of them could not be written (the
// reason on standard error).
bool WriteProtocolFiles(const Options& options, const core::Calibration& calibration,
                        const core::CalibrationQuality& quality, const std::string& methodTitle) {
    if (options.reportPath.empty() && options.csvPath.empty()) return true;
    const core::Protocol protocol = core::MakeProtocol(calibration, quality, methodTitle, core::ReadProtocolOrigin());
    bool written = true;
    if (!options.csvPath.empty()) {
        if (const std::optional<std::string> failure = core::ReplaceFileContents(options.csvPath, core::LevelTableCsv(protocol))) {
            std::fprintf(stderr, "ostrel-cli: cannot write the level table: %s\n", failure->c_str());
            written = false;
        }
    }
    if (!options.reportPath.empty()) {
        if (const std::optional<std::string> failure = cli::TheDrawing().writeProtocolPdf(options.reportPath, protocol)) {
            std::fprintf(stderr, "ostrel-cli: cannot write the protocol: %s\n", failure->c_str());
            written = false;
        }
    }
    return written;
}

int RunCalibrate(std::span<const std::string> args) {
    std::variant<Options, std::string> parsed = ParseOptions(args);
    if (const std::string* error = std::get_if<std::string>(&parsed)) return cli::UsageError(kName, *error);
    const Options& options = std::get<Options>(parsed);
    if (!options.chartPath.empty() && !cli::TheDrawing().writeCalibrationChart)
        return cli::RunInWindowProgram("--chart");
    if (!options.reportPath.empty() && !cli::TheDrawing().writeProtocolPdf) return cli::RunInWindowProgram("--report");

    // The data system's key: the stored settings with --stored, the machine's limit always.
    core::UseApplicationRegistryKey();
    core::Calibration calibration;
    std::string methodTitle;
    if (options.stored) methodTitle = core::LoadSettings(calibration, platform::SectionReading::ExistingKeysOnly);
    for (const auto& change : options.changes) change(calibration);
    calibration.ComputeCalibration();
    for (int k = 0; k < core::CalibrationTable::kLevelCount; ++k) {
        const core::CalibrationLevel& level = calibration.table[k];
        if (level.file == core::LevelFile::Unreadable)
            std::fprintf(stderr, "ostrel-cli: level %d: %s: %s\n", k, level.path.c_str(), level.readFailure.text.c_str());
    }

    bool chartWritten = true;
    if (!options.chartPath.empty()) {
        const auto [width, height] = options.chartSize.value_or(std::pair{kChartWidth, kChartHeight});
        const std::optional<std::string> failure =
            cli::TheDrawing().writeCalibrationChart(options.chartPath, calibration, width, height);
        chartWritten = !failure;
        if (failure) std::fprintf(stderr, "ostrel-cli: cannot write the chart: %s\n", failure->c_str());
    }

    const core::CalibrationQuality quality =
        core::JudgeCalibration(calibration, core::ReadMaxSpread(), core::InputsShown::AsShown, core::ReadMaxRetentionShift());
    const bool protocolWritten = WriteProtocolFiles(options, calibration, quality, methodTitle);

    cli::JsonWriter json;
    WriteCalibration(json, calibration, quality);
    cli::PrintJson(json);
    const bool passed = !options.check || quality.accepted;
    return chartWritten && protocolWritten && passed ? cli::kExitOk : cli::kExitFailed;
}

const cli::Registrar registrar{
    {kName,
     "calibrate [--stored] [--nav X] [--nav2 X] [--dolya X] [--level K=PATH]... [--chart FILE.png [--size WxH]] "
     "[--report FILE.pdf] [--csv FILE] [--check]",
     RunCalibrate, kHelp}};

}  // namespace
