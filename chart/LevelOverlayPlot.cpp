#include "chart/LevelOverlayPlot.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QString>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

using Level = LevelOverlayPlot;

// Five colours told apart on white and from the filled areas' pale green and blue.
constexpr platform::Rgb kLevelColors[Level::kMaxLevels] = {
    {96, 96, 96}, {0, 0, 200}, {0, 140, 0}, {215, 110, 0}, {200, 0, 0}};
constexpr platform::Rgb kTextColor{0, 0, 0};
constexpr platform::Rgb kMissingTextColor{160, 0, 0};
constexpr int kStroke = 18;     // length of a legend entry's colour stroke, pixels
constexpr int kStrokeGap = 6;   // between the stroke and the text
constexpr int kLegendPad = 4;   // around the legend's lines
constexpr double kComponentRoom = 0.2;  // room each side of the components' windows, parts of their span

// Each level's series: all areas first, then the signals, then the windows, so that no level's
// areas are drawn over another level's line.
ChromatogramSeries LayoutOf(int i) {
    const int n = Level::kMaxLevels;
    return {.ethanolArea = i,
            .standardArea = n + i,
            .signal = 2 * n + i,
            .window = 3 * n + i,
            .names = -1,
            .signalColor = kLevelColors[i],
            .windowColor = kLevelColors[i]};
}

constexpr int kSeriesCount = 4 * Level::kMaxLevels;

QString Fraction(double fraction) { return QString::number(fraction, 'g', 6); }

QString Translate(const char* text) { return QCoreApplication::translate("LevelOverlayPlot", text); }

}  // namespace

OverlayLevel ReadOverlayLevel(double fraction, const std::string& path) {
    OverlayLevel level{.fraction = fraction, .path = path};
    if (path.empty()) return level;
    auto file = std::make_shared<chromatogram::ChromatogramFile>();
    chromatogram::ReadFailure failure;
    if (file->Read(path, &failure))
        level.file = std::move(file);
    else
        level.failure = failure.text.empty() ? std::string("?") : failure.text;
    return level;
}

platform::Rgb LevelOverlayPlot::LevelColor(int i) { return kLevelColors[std::clamp(i, 0, kMaxLevels - 1)]; }

LevelOverlayPlot::LevelOverlayPlot()
    : layers_{ChromatogramPlot(LayoutOf(0)), ChromatogramPlot(LayoutOf(1)), ChromatogramPlot(LayoutOf(2)),
              ChromatogramPlot(LayoutOf(3)), ChromatogramPlot(LayoutOf(4))} {}

void LevelOverlayPlot::Configure(CAutoChart& chart) {
    ChromatogramPlot::ConfigureFrame(chart);
    // All series first: the areas keep the address of their signal series.
    for (int i = 0; i < kSeriesCount; ++i) chart.AddSeries();
    for (int i = 0; i < kMaxLevels; ++i) ChromatogramPlot::ConfigureSeries(chart, LayoutOf(i));
}

void LevelOverlayPlot::Show(CAutoChart& chart, std::vector<OverlayLevel> levels) {
    if (levels.size() > static_cast<std::size_t>(kMaxLevels)) levels.resize(kMaxLevels);
    levels_ = std::move(levels);
    const double inf = std::numeric_limits<double>::infinity();
    ChartView full{inf, -inf, inf, -inf};
    for (int i = 0; i < kMaxLevels; ++i) {
        ChromatogramPlot& layer = layers_[static_cast<std::size_t>(i)];
        const bool shown = i < static_cast<int>(levels_.size()) && levels_[static_cast<std::size_t>(i)].file;
        if (!shown) {
            layer.Clear(chart);
            continue;
        }
        layer.Show(chart, levels_[static_cast<std::size_t>(i)].file);
        const ChartView v = layer.FullView();
        full = {std::min(full.xMin, v.xMin), std::max(full.xMax, v.xMax), std::min(full.yMin, v.yMin),
                std::max(full.yMax, v.yMax)};
    }
    full_ = full.xMin < full.xMax && full.yMin < full.yMax ? full : ChartView{0, 1, 0, 1};
    chart.SetXRange(full_.xMin, full_.xMax);
    chart.SetYRange(full_.yMin, full_.yMax);
}

ChartView LevelOverlayPlot::ComponentView() const {
    const double inf = std::numeric_limits<double>::infinity();
    double from = inf, to = -inf;
    for (const OverlayLevel& level : levels_) {
        if (!level.file) continue;
        for (const chromatogram::Peak& peak : level.file->peaks) {
            if (!IsCalibrationComponent(peak.name) || !std::isfinite(peak.startTime) || !std::isfinite(peak.endTime))
                continue;
            from = std::min({from, peak.startTime, peak.endTime});
            to = std::max({to, peak.startTime, peak.endTime});
        }
    }
    if (!(from < to)) return full_;
    const double room = kComponentRoom * (to - from);
    from -= room;
    to += room;
    ChartView view{from, to, inf, -inf};
    for (int i = 0; i < static_cast<int>(levels_.size()); ++i) {
        if (!levels_[static_cast<std::size_t>(i)].file) continue;
        const ChartView v = layers_[static_cast<std::size_t>(i)].ViewOf(from, to);
        view.yMin = std::min(view.yMin, v.yMin);
        view.yMax = std::max(view.yMax, v.yMax);
    }
    if (!(view.yMin < view.yMax)) view.yMin = full_.yMin, view.yMax = full_.yMax;
    return view;
}

std::vector<OverlayLegendEntry> LevelOverlayPlot::Legend() const {
    std::vector<OverlayLegendEntry> entries;
    for (int i = 0; i < static_cast<int>(levels_.size()); ++i) {
        const OverlayLevel& level = levels_[static_cast<std::size_t>(i)];
        const QString fraction = Fraction(level.fraction);
        const QString fileName = QFileInfo(QString::fromStdString(level.path)).fileName();
        QString text;
        if (level.file)
            text = Translate(QT_TRANSLATE_NOOP("LevelOverlayPlot", "Уровень %1: %2 (%3)"))
                       .arg(fraction, QString::fromStdString(level.file->passport.sampleName), fileName);
        else if (level.path.empty())
            text = Translate(QT_TRANSLATE_NOOP("LevelOverlayPlot", "Уровень %1: хроматограмма не выбрана")).arg(fraction);
        else
            text = Translate(QT_TRANSLATE_NOOP("LevelOverlayPlot", "Уровень %1: ошибка чтения файла %2 (%3)"))
                       .arg(fraction, fileName, QString::fromStdString(level.failure));
        entries.push_back({LevelColor(i), text.toStdString(), !level.file});
    }
    return entries;
}

platform::FontDescription LevelOverlayPlot::LegendFont() {
    return platform::PointFont("Arial", 8, platform::kCyrillicCharset);
}

int LevelOverlayPlot::LegendHeight(int entries) {
    QImage probe = platform::MakeImage(1, 1);
    platform::Surface surface(probe);
    surface.SelectFont(LegendFont());
    return 2 * kLegendPad + std::max(entries, 1) * surface.GetTextMetrics().height;
}

void LevelOverlayPlot::DrawLegend(platform::Surface& surface, const platform::Rect& area,
                                  const std::vector<OverlayLegendEntry>& entries) {
    const platform::FontDescription before = surface.SelectFont(LegendFont());
    surface.SetTransparentBackground(true);
    surface.SetTextAlign(platform::kAlignLeft | platform::kAlignTop);
    const int lineHeight = surface.GetTextMetrics().height;
    int y = area.top + kLegendPad;
    for (const OverlayLegendEntry& entry : entries) {
        if (y + lineHeight > area.bottom) break;
        const int x = area.left + kLegendPad;
        if (!entry.missing) surface.FillRect({x, y + lineHeight / 2 - 1, x + kStroke, y + lineHeight / 2 + 2}, entry.color);
        surface.SetTextColor(entry.missing ? kMissingTextColor : kTextColor);
        surface.TextOut(x + kStroke + kStrokeGap, y, entry.text);
        y += lineHeight;
    }
    surface.SelectFont(before);
}

std::vector<OverlayLegendEntry> DrawLevelOverlay(QImage& image, const std::vector<OverlayLevel>& levels) {
    CAutoChart chart;
    LevelOverlayPlot::Configure(chart);
    LevelOverlayPlot plot;
    plot.Show(chart, levels);
    const std::vector<OverlayLegendEntry> legend = plot.Legend();
    const int width = image.width(), height = image.height();
    const int legendHeight = std::min(height / 2, LevelOverlayPlot::LegendHeight(static_cast<int>(legend.size())));
    platform::Surface surface(image);
    surface.FillRect({0, 0, width, height}, chart.backColor);
    chart.Draw(surface, {0, 0, width, height - legendHeight});
    LevelOverlayPlot::DrawLegend(surface, {0, height - legendHeight, width, height}, legend);
    return legend;
}
