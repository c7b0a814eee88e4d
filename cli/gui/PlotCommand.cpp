// ostrel-cli plot FILE --png OUT [--size WxH] [--from T] [--to T]
//        ostrel-cli plot FILE... [--png-dir DIR] [--overlay OUT.png] [--size WxH] [--from T] [--to T]
// Draws the chromatogram chart of FILE (the signal, every peak's window and baseline, the areas
// of "этанол" and "изопропанол" filled, the peak names) into a PNG, 1000 x 600 unless --size,
// over the times --from..--to (the whole chromatogram where not given; the values fitted to the
// samples drawn). Prints what was drawn: the samples, the peaks whose window lies at least in
// part within the times drawn, and the times and values of the view. With several files, one
// picture per file into a folder, and/or the overlay of the files as calibration levels in one
// picture (chart/LevelOverlayPlot.h).
#include "chart/ChromatogramPlot.h"
#include "chart/LevelOverlayPlot.h"
#include "core/Calc.h"
#include "core/NumberText.h"
#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/PictureSize.h"
#include "cli/gui/PngFile.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QString>

#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace {

constexpr const char* kName = "plot";
constexpr int kWidth = 1000;
constexpr int kHeight = 600;
constexpr const char* kHelp =
    "Draws the chromatogram chart of FILE (the signal, every peak's window and baseline, the areas\n"
    "of \"этанол\" and \"изопропанол\" filled, the peak names) into the PNG OUT, without a display, and\n"
    "prints what it drew: {\"ok\", \"path\", \"png\", \"size\", \"samples\": {\"total\", \"drawn\"},\n"
    "\"timeRange\", \"valueRange\", \"peaks\": [the peaks whose window reaches into the times drawn]}.\n"
    "A file that cannot be read gives {\"ok\": false, \"path\", \"error\": \"Ошибка чтения\"} and the\n"
    "reason on standard error. Runs in ostrel-cli-gui.\n"
    "With --png-dir or --overlay it prints {\"files\": [that summary per file, in the order given;\n"
    "\"png\" and \"size\" only with --png-dir], \"overlay\": {\"ok\", \"png\", \"size\", \"legend\": [its\n"
    "lines]} (only with --overlay), \"ok\"}: true when every file was read and every picture written.\n"
    "\n"
    "options:\n"
    "  --png OUT         the picture of the one FILE given\n"
    "  --png-dir DIR     one picture per file, DIR/NAME.png after the file's name without its\n"
    "                    extension (DIR is made if need be; two files of one name are refused)\n"
    "  --overlay OUT.png the files (at most 5) as the calibration levels 0, 0.05, 0.1, 0.2, 0.5 in\n"
    "                    one chart, time-aligned, each its own colour, with a legend naming level\n"
    "                    and sample, or why a file could not be read; always the whole runs\n"
    "  --size WxH        the pictures' size in pixels, 1 to 8192 each (default 1000x600)\n"
    "  --from T          the first time drawn (default: the run's start)\n"
    "  --to T            the last time drawn (default: the run's end); the values are fitted to the\n"
    "                    samples drawn. Times are read as the dialog's fields read numbers.\n"
    "\n"
    "exit status: 0 drawn; 1 a file could not be read or a picture not written; 2 usage error.\n";

struct Options {
    std::vector<std::string> paths;
    std::string png;
    std::string pngDir;
    std::string overlay;
    int width = kWidth;
    int height = kHeight;
    std::optional<double> from, to;
};

// The options, or a usage error message.
std::variant<Options, std::string> ParseOptions(std::span<const std::string> args) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue =
            a == "--png" || a == "--png-dir" || a == "--overlay" || a == "--size" || a == "--from" || a == "--to";
        if (!takesValue) {
            if (a.rfind("--", 0) == 0) return "unknown option '" + a + "'";
            o.paths.push_back(a);
            continue;
        }
        if (i + 1 >= args.size()) return a + " needs a value";
        const std::string& v = args[++i];
        if (a == "--png" || a == "--png-dir" || a == "--overlay") {
            if (v.empty()) return a + " needs a file name";
            (a == "--png" ? o.png : a == "--png-dir" ? o.pngDir : o.overlay) = v;
        } else if (a == "--size") {
            const std::optional<cli::PictureSize> size = cli::ParsePictureSize(v);
            if (!size) return cli::PictureSizeError(v);
            o.width = size->width;
            o.height = size->height;
        } else {
            const std::optional<double> t = core::ParseNumber(v);
            if (!t || !std::isfinite(*t)) return a + " needs a time: '" + v + "'";
            (a == "--from" ? o.from : o.to) = *t;
        }
    }
    if (o.paths.empty()) return std::string("plot needs a file");
    if (o.png.empty() && o.pngDir.empty() && o.overlay.empty())
        return std::string("plot needs --png OUT, --png-dir DIR or --overlay OUT.png");
    if (!o.png.empty() && (o.paths.size() > 1 || !o.pngDir.empty() || !o.overlay.empty()))
        return std::string("--png draws one file alone; --png-dir and --overlay draw several");
    if (o.paths.size() > static_cast<std::size_t>(LevelOverlayPlot::kMaxLevels) && !o.overlay.empty())
        return "--overlay takes at most " + std::to_string(LevelOverlayPlot::kMaxLevels) + " files";
    if (o.from && o.to && !(*o.from < *o.to)) return std::string("--from must lie before --to");
    return o;
}

// Fonts need a GUI application; ostrel-cli has none, so the command makes an offscreen one.
std::unique_ptr<QGuiApplication> GuiApplication() {
    if (QCoreApplication::instance() != nullptr) return nullptr;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "ostrel-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

void WriteView(cli::JsonWriter& json, const ChartView& view) {
    json.Key("timeRange").BeginArray().Double(view.xMin).Double(view.xMax).EndArray();
    json.Key("valueRange").BeginArray().Double(view.yMin).Double(view.yMax).EndArray();
}

void WritePeaks(cli::JsonWriter& json, const ChromatogramPlot& plot, const ChartView& view) {
    json.Key("peaks").BeginArray();
    for (const int i : plot.PeaksWithin(view.xMin, view.xMax)) {
        const chromatogram::Peak& p = plot.File()->peaks.GetAt(i);
        json.BeginObject()
            .Field("index", i)
            .Field("name", p.name)
            .Field("startTime", p.startTime)
            .Field("endTime", p.endTime)
            .Field("baselineAtStart", p.baselineAtStart)
            .Field("baselineAtEnd", p.baselineAtEnd)
            .Field("retentionTime", p.retentionTime)
            .Field("area", p.area)
            .Field("filled", IsCalibrationComponent(p.name))
            .EndObject();
    }
    json.EndArray();
}

// What a chart of `plot` in `view` shows: "samples", "timeRange", "valueRange", "peaks".
void WriteDrawn(cli::JsonWriter& json, const ChromatogramPlot& plot, const ChartView& view) {
    json.Key("samples")
        .BeginObject()
        .Field("total", static_cast<std::int64_t>(plot.File()->signal.samples.size()))
        .Field("drawn", static_cast<std::int64_t>(plot.SamplesWithin(view.xMin, view.xMax)))
        .EndObject();
    WriteView(json, view);
    WritePeaks(json, plot, view);
}

// The picture of one file in the folder: its name without the extension, and ".png".
std::string PictureIn(const std::string& folder, const std::string& path) {
    return (std::filesystem::path(folder) / std::filesystem::path(path).stem()).string() + ".png";
}

bool SavePng(const QImage& image, const std::string& png) {
    const std::optional<std::string> failure = cli::WritePngFile(png, image);
    if (failure) cli::Failure("cannot write the picture: " + *failure);
    return !failure;
}

void WriteSize(cli::JsonWriter& json, const Options& o) {
    json.Key("size").BeginArray().Int(o.width).Int(o.height).EndArray();
}

void WriteUnreadable(cli::JsonWriter& json, const std::string& path) {
    json.BeginObject().Field("ok", false).Field("path", path).Field("error", "Ошибка чтения").EndObject();
}

// Reads one file; its failure is told on standard error and kept in `failure`.
std::shared_ptr<chromatogram::ChromatogramFile> ReadFile(const std::string& path, std::string& failure) {
    auto file = std::make_shared<chromatogram::ChromatogramFile>();
    chromatogram::ReadFailure why;
    if (file->Read(path, &why)) return file;
    failure = why.text;
    cli::Failure(path + ": " + failure);
    return nullptr;
}

enum class Plotted { Written, NotWritten, NoTimes };

// Draws one file's chart into `png` and writes its summary; nothing at all when the times asked
// for leave nothing of this run to draw. `chart` is configured for one chromatogram and is
// shared by the files of a call.
Plotted PlotFile(CAutoChart& chart, std::shared_ptr<const chromatogram::ChromatogramFile> file, const std::string& path,
                 const std::string& png, const Options& o, cli::JsonWriter& json) {
    ChromatogramPlot plot;
    plot.Show(chart, file);
    ChartView view = plot.FullView();
    if (o.from || o.to) {
        const double from = o.from.value_or(view.xMin), to = o.to.value_or(view.xMax);
        if (!(from < to)) {
            plot.Clear(chart);
            return Plotted::NoTimes;
        }
        view = plot.ViewOf(from, to);
        chart.SetXRange(view.xMin, view.xMax);
        chart.SetYRange(view.yMin, view.yMax);
    }
    QImage image = platform::MakeImage(o.width, o.height);
    if (!image.isNull()) {
        platform::Surface surface(image);
        chart.Draw(surface, {0, 0, o.width, o.height});
    }
    const bool written = SavePng(image, png);

    json.BeginObject().Field("ok", written).Field("path", path).Field("png", png);
    WriteSize(json, o);
    WriteDrawn(json, plot, view);
    json.EndObject();
    plot.Clear(chart);
    return written ? Plotted::Written : Plotted::NotWritten;
}

constexpr const char* kNoTimes = "the times asked for leave nothing to draw";

int RunSingle(const Options& o) {
    const std::string& path = o.paths.front();
    std::string failure;
    const std::shared_ptr<chromatogram::ChromatogramFile> file = ReadFile(path, failure);
    cli::JsonWriter json;
    if (!file) {
        WriteUnreadable(json, path);
        cli::PrintJson(json);
        return cli::kExitFailed;
    }
    const std::unique_ptr<QGuiApplication> app = GuiApplication();
    CAutoChart chart;
    ChromatogramPlot::Configure(chart);
    const Plotted plotted = PlotFile(chart, file, path, o.png, o, json);
    if (plotted == Plotted::NoTimes) return cli::UsageError(kName, kNoTimes);
    cli::PrintJson(json);
    return plotted == Plotted::Written ? cli::kExitOk : cli::kExitFailed;
}

int RunSeveral(const Options& o) {
    if (!o.pngDir.empty()) {
        std::map<std::string, std::string> pictures;  // picture -> the file drawn into it
        for (const std::string& path : o.paths) {
            const auto [at, fresh] = pictures.emplace(PictureIn(o.pngDir, path), path);
            if (!fresh && at->second != path)
                return cli::UsageError(kName, "'" + at->second + "' and '" + path + "' would both be drawn to '" +
                                                  at->first + "'");
        }
        std::error_code error;
        std::filesystem::create_directories(o.pngDir, error);
        if (!std::filesystem::is_directory(o.pngDir)) return cli::Failure("cannot make the folder '" + o.pngDir + "'");
    }
    const std::unique_ptr<QGuiApplication> app = GuiApplication();
    bool ok = true;
    std::vector<OverlayLevel> levels;
    CAutoChart chart;
    ChromatogramPlot::Configure(chart);
    cli::JsonWriter json;
    json.BeginObject().Key("files").BeginArray();
    for (std::size_t i = 0; i < o.paths.size(); ++i) {
        const std::string& path = o.paths[i];
        std::string failure;
        const std::shared_ptr<chromatogram::ChromatogramFile> file = ReadFile(path, failure);
        // Each file is read once; the overlay gets the same chromatogram.
        if (!o.overlay.empty())
            levels.push_back({.fraction = core::CalibrationTable::kFractions[i],
                              .path = path,
                              .file = file,
                              .failure = file ? std::string() : failure});
        if (!file) {
            ok = false;
            WriteUnreadable(json, path);
            continue;
        }
        if (o.pngDir.empty()) {
            ChromatogramPlot plot;  // for its summary: the overlay shows the whole run
            plot.Show(chart, file);
            json.BeginObject().Field("ok", true).Field("path", path);
            WriteDrawn(json, plot, plot.FullView());
            json.EndObject();
            plot.Clear(chart);
            continue;
        }
        const Plotted plotted = PlotFile(chart, file, path, PictureIn(o.pngDir, path), o, json);
        if (plotted == Plotted::NoTimes)
            json.BeginObject().Field("ok", false).Field("path", path).Field("error", kNoTimes).EndObject();
        ok = ok && plotted == Plotted::Written;
    }
    json.EndArray();
    if (!o.overlay.empty()) {
        QImage image = platform::MakeImage(o.width, o.height);
        std::vector<OverlayLegendEntry> legend;
        if (!image.isNull()) legend = DrawLevelOverlay(image, levels);
        const bool written = SavePng(image, o.overlay);
        ok = ok && written;
        json.Key("overlay").BeginObject().Field("ok", written).Field("png", o.overlay);
        WriteSize(json, o);
        json.Key("legend").BeginArray();
        for (const OverlayLegendEntry& entry : legend) json.String(entry.text);
        json.EndArray().EndObject();
    }
    json.Field("ok", ok).EndObject();
    cli::PrintJson(json);
    return ok ? cli::kExitOk : cli::kExitFailed;
}

int RunPlot(std::span<const std::string> args) {
    std::variant<Options, std::string> parsed = ParseOptions(args);
    if (const std::string* error = std::get_if<std::string>(&parsed)) return cli::UsageError(kName, *error);
    const Options& o = std::get<Options>(parsed);
    return o.png.empty() ? RunSeveral(o) : RunSingle(o);
}

const cli::Registrar registrar{
    {kName, "plot FILE... (--png OUT | [--png-dir DIR] [--overlay OUT.png]) [--size WxH] [--from T] [--to T]", RunPlot,
     kHelp}};

}  // namespace
