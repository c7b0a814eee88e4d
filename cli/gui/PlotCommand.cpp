// ostrel-cli plot FILE --png OUT [--size WxH] [--from T] [--to T]
// Draws the chromatogram chart of FILE (the signal, every peak's window and baseline, the areas
// of "этанол" and "изопропанол" filled, the peak names) into a PNG, 1000 x 600 unless --size,
// over the times --from..--to (the whole chromatogram where not given; the values fitted to the
// samples drawn). Prints what was drawn: the samples, the peaks whose window lies at least in
// part within the times drawn, and the times and values of the view.
#include "chart/ChromatogramPlot.h"
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
    "\n"
    "options:\n"
    "  --png OUT     the picture to write (required)\n"
    "  --size WxH    its size in pixels, 1 to 8192 each (default 1000x600)\n"
    "  --from T      the first time drawn (default: the run's start)\n"
    "  --to T        the last time drawn (default: the run's end); the values are fitted to the\n"
    "                samples drawn. Times are read as the dialog's fields read numbers.\n"
    "\n"
    "exit status: 0 drawn; 1 the file could not be read or the picture not written; 2 usage error.\n";

struct Options {
    std::string path;
    std::string png;
    int width = kWidth;
    int height = kHeight;
    std::optional<double> from, to;
};

// The options, or a usage error message.
std::variant<Options, std::string> ParseOptions(std::span<const std::string> args) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue = a == "--png" || a == "--size" || a == "--from" || a == "--to";
        if (!takesValue) {
            if (a.rfind("--", 0) == 0) return "unknown option '" + a + "'";
            if (!o.path.empty()) return "plot takes one file";
            o.path = a;
            continue;
        }
        if (i + 1 >= args.size()) return a + " needs a value";
        const std::string& v = args[++i];
        if (a == "--png") {
            if (v.empty()) return std::string("--png needs a file name");
            o.png = v;
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
    if (o.path.empty()) return std::string("plot needs a file");
    if (o.png.empty()) return std::string("plot needs --png OUT");
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

int RunPlot(std::span<const std::string> args) {
    std::variant<Options, std::string> parsed = ParseOptions(args);
    if (const std::string* error = std::get_if<std::string>(&parsed)) return cli::UsageError(kName, *error);
    const Options& o = std::get<Options>(parsed);

    auto file = std::make_shared<chromatogram::ChromatogramFile>();
    chromatogram::ReadFailure failure;
    if (!file->Read(o.path, &failure)) {
        cli::Failure(o.path + ": " + failure.text);
        cli::JsonWriter json;
        json.BeginObject().Field("ok", false).Field("path", o.path).Field("error", "Ошибка чтения").EndObject();
        cli::PrintJson(json);
        return cli::kExitFailed;
    }

    const std::unique_ptr<QGuiApplication> app = GuiApplication();
    CAutoChart chart;
    ChromatogramPlot::Configure(chart);
    ChromatogramPlot plot;
    plot.Show(chart, file);
    ChartView view = plot.FullView();
    if (o.from || o.to) {
        const double from = o.from.value_or(view.xMin), to = o.to.value_or(view.xMax);
        if (!(from < to)) return cli::UsageError(kName, "the times asked for leave nothing to draw");
        view = plot.ViewOf(from, to);
        chart.SetXRange(view.xMin, view.xMax);
        chart.SetYRange(view.yMin, view.yMax);
    }
    QImage image = platform::MakeImage(o.width, o.height);
    if (!image.isNull()) {
        platform::Surface surface(image);
        chart.Draw(surface, {0, 0, o.width, o.height});
    }
    const std::optional<std::string> writeFailure = cli::WritePngFile(o.png, image);
    const bool written = !writeFailure;
    if (writeFailure) cli::Failure("cannot write the picture: " + *writeFailure);

    cli::JsonWriter json;
    json.BeginObject()
        .Field("ok", written)
        .Field("path", o.path)
        .Field("png", o.png)
        .Key("size")
        .BeginArray()
        .Int(o.width)
        .Int(o.height)
        .EndArray()
        .Key("samples")
        .BeginObject()
        .Field("total", static_cast<std::int64_t>(file->signal.samples.size()))
        .Field("drawn", static_cast<std::int64_t>(plot.SamplesWithin(view.xMin, view.xMax)))
        .EndObject();
    WriteView(json, view);
    WritePeaks(json, plot, view);
    json.EndObject();
    cli::PrintJson(json);
    return written ? cli::kExitOk : cli::kExitFailed;
}

const cli::Registrar registrar{{kName, "plot FILE --png OUT [--size WxH] [--from T] [--to T]", RunPlot, kHelp}};

}  // namespace
