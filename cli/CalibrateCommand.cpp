// ostrel-cli calibrate [--stored] [--nav X] [--nav2 X] [--dolya X] [--level K=PATH]...
// One calibration pass over fresh levels (or the stored settings, loaded as at start-up) with
// the options applied in order; prints the levels, the average coefficient and the chart arrays.
// It never writes the settings.
#include "app/Calc.h"
#include "app/Settings.h"
#include "app/XTPRegistryManager.h"
#include "cli/Arguments.h"
#include "cli/Command.h"
#include "cli/Json.h"

#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace {

constexpr const char* kName = "calibrate";

struct Options {
    bool stored = false;
    // Applied in order once the state has been built.
    std::vector<std::function<void(app::Calibration&)>> changes;
};

// One option: its name, whether it takes a value, and what it does with it. A usage error
// message comes back when the value is not acceptable.
struct OptionSpec {
    const char* name;
    bool takesValue;
    std::function<std::optional<std::string>(const std::string& value, Options& options)> apply;
};

std::optional<std::string> SetInput(double app::Calibration::*input, const std::string& value, Options& options) {
    const std::optional<double> number = cli::ParseDouble(value);
    if (!number) return "not a number: '" + value + "'";
    options.changes.push_back([input, x = *number](app::Calibration& c) { c.*input = x; });
    return std::nullopt;
}

std::optional<std::string> SetLevel(const std::string& value, Options& options) {
    if (value.size() < 2 || value[0] < '0' || value[0] > '4' || value[1] != '=')
        return "expected --level K=PATH with K from 0 to 4: '" + value + "'";
    options.changes.push_back([k = value[0] - '0', path = value.substr(2)](app::Calibration& c) {
        c.table[k].path = path;
    });
    return std::nullopt;
}

const std::vector<OptionSpec>& Specs() {
    static const std::vector<OptionSpec> specs = {
        {"--stored", false, [](const std::string&, Options& o) { o.stored = true; return std::optional<std::string>(); }},
        {"--nav", true, [](const std::string& v, Options& o) { return SetInput(&app::Calibration::nav, v, o); }},
        {"--nav2", true, [](const std::string& v, Options& o) { return SetInput(&app::Calibration::nav2, v, o); }},
        {"--dolya", true, [](const std::string& v, Options& o) { return SetInput(&app::Calibration::dolya, v, o); }},
        {"--level", true, SetLevel},
    };
    return specs;
}

// The options, or a usage error message.
std::variant<Options, std::string> ParseOptions(std::span<const std::string> args) {
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& s : Specs())
            if (args[i] == s.name) spec = &s;
        if (!spec) return "unknown option '" + args[i] + "'";
        std::string value;
        if (spec->takesValue) {
            if (i + 1 >= args.size()) return std::string(spec->name) + " needs a value";
            value = args[++i];
        }
        if (std::optional<std::string> error = spec->apply(value, options)) return *error;
    }
    return options;
}

void WriteFloats(cli::JsonWriter& json, const char* key, const std::vector<float>& values) {
    json.Key(key).BeginArray();
    for (float v : values) json.Float(v);
    json.EndArray();
}

void WriteCalibration(cli::JsonWriter& json, const app::Calibration& c) {
    json.BeginObject().Key("levels").BeginArray();
    for (int k = 0; k < app::CalibrationTable::kLevelCount; ++k) {
        const app::CalibrationLevel& level = c.table[k];
        json.BeginObject()
            .Field("fraction", level.fraction)
            .Field("sampleName", level.sampleName)
            .Field("path", level.path)
            .Field("ethanolArea", level.ethanolArea)
            .Field("standardArea", level.standardArea)
            .Field("ethanolAmount", level.ethanolAmount)
            .Field("standardAmount", level.standardAmount)
            .Field("coefficient", level.coefficient)
            .EndObject();
    }
    json.EndArray().Field("averageCoefficient", c.averageCoefficient);
    WriteFloats(json, "pointsX", c.pointsX);
    WriteFloats(json, "pointsY", c.pointsY);
    WriteFloats(json, "lineX", c.lineX);
    WriteFloats(json, "lineY", c.lineY);
    json.EndObject();
}

int RunCalibrate(std::span<const std::string> args) {
    std::variant<Options, std::string> parsed = ParseOptions(args);
    if (const std::string* error = std::get_if<std::string>(&parsed)) return cli::UsageError(kName, *error);
    const Options& options = std::get<Options>(parsed);

    app::Calibration calibration;
    if (options.stored) {
        app::UseApplicationRegistryKey();
        app::LoadSettings(calibration);
    }
    for (const auto& change : options.changes) change(calibration);
    calibration.ComputeCalibration();

    cli::JsonWriter json;
    WriteCalibration(json, calibration);
    cli::PrintJson(json);
    return cli::kExitOk;
}

const cli::Registrar registrar{
    {kName, "calibrate [--stored] [--nav X] [--nav2 X] [--dolya X] [--level K=PATH]...", RunCalibrate}};

}  // namespace
