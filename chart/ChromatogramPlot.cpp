#include "chart/ChromatogramPlot.h"

#include "chart/ColumnLine.h"
#include "platform/Text.h"

#include <QCoreApplication>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <utility>

using chromatogram::Lattice;
using chromatogram::Peak;

namespace {

constexpr platform::Rgb kTitleColor{0, 0, 255};
// The components whose areas the calibration takes.
constexpr const char* kEthanol = "этанол";
constexpr const char* kStandard = "изопропанол";
// Room above the highest value for the peak names, and below the lowest, in parts of the span.
constexpr double kRoomAbove = 0.1;
constexpr double kRoomBelow = 0.03;
constexpr int kNameGap = 3;  // pixels between a peak's apex and its name

constexpr float kGap = std::numeric_limits<float>::quiet_NaN();  // ends a run of points

bool IsEthanol(const std::string& name) { return platform::EqualIgnoreCase(name, kEthanol); }
bool IsStandard(const std::string& name) { return platform::EqualIgnoreCase(name, kStandard); }

void Append(std::vector<float>& xs, std::vector<float>& ys, double x, double y) {
    xs.push_back(static_cast<float>(x));
    ys.push_back(static_cast<float>(y));
}

void EndRun(std::vector<float>& xs, std::vector<float>& ys) {
    xs.push_back(kGap);
    ys.push_back(kGap);
}

// A range of one value, or none, becomes a range around it.
void Widen(double& lo, double& hi) {
    if (lo < hi) return;
    const double half = std::max(std::fabs(lo) * 1e-3, 0.5);
    lo -= half;
    hi += half;
}

void Include(double v, double& lo, double& hi) {
    if (!std::isfinite(v)) return;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
}

int SampleCount(const Lattice& signal) {
    return static_cast<int>(std::min<std::size_t>(signal.samples.size(), INT_MAX));
}

}  // namespace

bool IsCalibrationComponent(const std::string& peakName) { return IsEthanol(peakName) || IsStandard(peakName); }

bool IsStandardComponent(const std::string& peakName) { return IsStandard(peakName); }

void ChromatogramPlot::Configure(CAutoChart& chart) {
    ConfigureFrame(chart);
    for (int i = 0; i <= kPeakNameSeries; ++i) chart.AddSeries();
    ConfigureSeries(chart, {});
}

void ChromatogramPlot::ConfigureFrame(CAutoChart& chart) {
    chart.SetAxisStyle(kClosedFrame);
    chart.SetTitleColor(kTitleColor);
    chart.SetTitleFont(platform::PointFont("Arial", 8, platform::kCyrillicCharset));
    // The axis titles speak the language of the program's windows (ostrel-cli installs no
    // translation: its pictures stay Russian).
    chart.SetTitles(QCoreApplication::translate("ChromatogramPlot", "Время, мин").toStdString(),
                    QCoreApplication::translate("ChromatogramPlot", "Отклик детектора").toStdString());
    // Drawn into an image always (the control's picture, ostrel-cli's PNG): composing it in
    // another image first would only copy it once more.
    chart.buffered = false;
}

void ChromatogramPlot::ConfigureSeries(CAutoChart& chart, const ChromatogramSeries& layout) {
    CAutoSeries& signal = chart.GetSeries(layout.signal);
    signal.SetColor(layout.signalColor);
    signal.SetLineType(kLineColumns);
    for (const auto& [index, color] : {std::pair{layout.ethanolArea, kEthanolAreaColor},
                                       std::pair{layout.standardArea, kStandardAreaColor}}) {
        if (index < 0) continue;
        CAutoSeries& area = chart.GetSeries(index);
        area.SetColor(color);
        area.SetLineType(kLineNone);
        area.SetMarker(kMarkerArea);
        area.link = &signal;
    }
    if (layout.window >= 0) {
        CAutoSeries& window = chart.GetSeries(layout.window);
        window.SetColor(layout.windowColor);
        window.SetLineType(kLineStraight);
    }
    if (layout.names < 0) return;
    CAutoSeries& names = chart.GetSeries(layout.names);
    names.SetColor(kPeakNameColor);
    names.SetLineType(kLineNone);
    names.SetMarker(kMarkerLabel);
    names.SetMarkerSize(kNameGap);
    names.link = &signal;  // names keep above the signal
}

void ChromatogramPlot::Show(CAutoChart& chart, std::shared_ptr<const chromatogram::ChromatogramFile> file) {
    if (!file) {
        Clear(chart);
        return;
    }
    file_ = std::move(file);
    const Lattice& signal = file_->signal;
    CAutoSeries& line = chart.GetSeries(layout_.signal);
    line.SetData(nullptr, signal.samples.data(), SampleCount(signal));
    blocks_ = BlockExtremes(signal.samples.data(), static_cast<std::size_t>(SampleCount(signal)));
    line.blocks = &blocks_;
    line.x0 = signal.startTime;
    line.dx = signal.step;

    BuildPeakSeries();
    const auto setData = [&](int index, const std::vector<float>& xs, const std::vector<float>& ys) {
        if (index >= 0) chart.GetSeries(index).SetData(xs.data(), ys.data(), static_cast<int>(xs.size()));
    };
    setData(layout_.ethanolArea, ethanolX_, ethanolY_);
    setData(layout_.standardArea, standardX_, standardY_);
    setData(layout_.window, windowX_, windowY_);
    setData(layout_.names, nameX_, nameY_);
    if (layout_.names >= 0) chart.GetSeries(layout_.names).labels = names_.data();

    ComputeFullView();
    chart.SetXRange(full_.xMin, full_.xMax);
    chart.SetYRange(full_.yMin, full_.yMax);
}

void ChromatogramPlot::Clear(CAutoChart& chart) {
    for (const int index : {layout_.ethanolArea, layout_.standardArea, layout_.signal, layout_.window, layout_.names})
        if (index >= 0 && index < chart.GetSeriesCount()) chart.GetSeries(index).SetData(nullptr, nullptr, 0);
    if (layout_.names >= 0 && layout_.names < chart.GetSeriesCount()) chart.GetSeries(layout_.names).labels = nullptr;
    file_.reset();
    blocks_ = {};
    for (auto* v : {&ethanolX_, &ethanolY_, &standardX_, &standardY_, &windowX_, &windowY_, &nameX_, &nameY_})
        v->clear();
    names_.clear();
    full_ = {0, 1, 0, 1};
    chart.SetXRange(full_.xMin, full_.xMax);
    chart.SetYRange(full_.yMin, full_.yMax);
}

namespace {

// What a peak's name makes of it. A table names its peaks with a handful of texts, so each
// text is told once (case-insensitive comparison goes through Unicode case folding).
enum class PeakKind { Unnamed, Ethanol, Standard, Other };

class PeakKinds {
public:
    PeakKind Of(const std::string& name) {
        if (name.empty()) return PeakKind::Unnamed;
        for (const auto& [text, kind] : known_)
            if (*text == name) return kind;
        const PeakKind kind = IsEthanol(name) ? PeakKind::Ethanol : IsStandard(name) ? PeakKind::Standard : PeakKind::Other;
        known_.emplace_back(&name, kind);
        return kind;
    }

private:
    std::vector<std::pair<const std::string*, PeakKind>> known_;  // names of the peak table
};

}  // namespace

// Every peak's window: from the signal at its start down (or up) to its baseline, along the
// baseline, and back to the signal at its end. For an isolated peak the baseline starts and
// ends on the signal; the edges show where a peak of a group shares its group's baseline.
void ChromatogramPlot::BuildPeakSeries() {
    for (auto* v : {&ethanolX_, &ethanolY_, &standardX_, &standardY_, &windowX_, &windowY_, &nameX_, &nameY_})
        v->clear();
    names_.clear();
    const Lattice& signal = file_->signal;
    const std::size_t peakCount = file_->peaks.Peaks().size();
    windowX_.reserve(5 * peakCount);
    windowY_.reserve(5 * peakCount);
    PeakKinds kinds;
    // Names that do not fit beside each other are left out in the order drawn: the components
    // of the calibration first.
    std::vector<const Peak*> components, others;
    for (const Peak& peak : file_->peaks) {
        if (!std::isfinite(peak.startTime) || !std::isfinite(peak.endTime)) continue;
        Append(windowX_, windowY_, peak.startTime, signal.ValueAt(peak.startTime));
        Append(windowX_, windowY_, peak.startTime, peak.baselineAtStart);
        Append(windowX_, windowY_, peak.endTime, peak.baselineAtEnd);
        Append(windowX_, windowY_, peak.endTime, signal.ValueAt(peak.endTime));
        EndRun(windowX_, windowY_);
        const PeakKind kind = kinds.Of(peak.name);
        if (kind == PeakKind::Ethanol || kind == PeakKind::Standard) {
            auto& xs = kind == PeakKind::Ethanol ? ethanolX_ : standardX_;
            auto& ys = kind == PeakKind::Ethanol ? ethanolY_ : standardY_;
            Append(xs, ys, peak.startTime, peak.baselineAtStart);
            Append(xs, ys, peak.endTime, peak.baselineAtEnd);
            EndRun(xs, ys);
            components.push_back(&peak);
        } else if (kind == PeakKind::Other) {
            others.push_back(&peak);
        }
    }
    names_.reserve(components.size() + others.size());
    for (const auto* list : {&components, &others}) {
        for (const Peak* peak : *list) {
            Append(nameX_, nameY_, peak->retentionTime, signal.ValueAt(peak->retentionTime));
            names_.push_back(peak->name);
        }
    }
}

void ChromatogramPlot::ComputeFullView() {
    const Lattice& signal = file_->signal;
    const std::size_t n = signal.samples.size();
    const double inf = std::numeric_limits<double>::infinity();
    double tLo = inf, tHi = -inf;
    if (n > 0 && std::isfinite(signal.startTime) && std::isfinite(signal.step)) {
        Include(signal.TimeAt(0), tLo, tHi);
        Include(signal.TimeAt(static_cast<std::int64_t>(n) - 1), tLo, tHi);
    }
    if (!(tLo < tHi)) {
        for (const Peak& peak : file_->peaks) {
            Include(peak.startTime, tLo, tHi);
            Include(peak.endTime, tLo, tHi);
        }
    }
    if (tLo > tHi) tLo = 0, tHi = 1;
    Widen(tLo, tHi);

    const BlockExtremes::Range values = blocks_.Count() > 0 ? blocks_.Extremes(0, blocks_.Count() - 1)
                                                             : BlockExtremes::Range{1, 0, false};
    double yLo = values.lowest, yHi = values.highest;
    if (yLo > yHi) yLo = 0, yHi = 1;
    Widen(yLo, yHi);
    const double span = yHi - yLo;
    full_ = {tLo, tHi, yLo - kRoomBelow * span, yHi + kRoomAbove * span};
}

std::vector<int> ChromatogramPlot::PeaksWithin(double from, double to) const {
    std::vector<int> within;
    if (!file_) return within;
    for (const Peak& peak : file_->peaks) {
        const double lo = std::min(peak.startTime, peak.endTime), hi = std::max(peak.startTime, peak.endTime);
        if (hi >= from && lo <= to) within.push_back(peak.index);
    }
    return within;
}

std::pair<long long, long long> ChromatogramPlot::SampleRange(double from, double to) const {
    const std::pair<long long, long long> none{0, -1};
    if (!file_) return none;
    const Lattice& signal = file_->signal;
    const double n = static_cast<double>(signal.samples.size());
    if (n == 0 || !(from <= to)) return none;
    const double t0 = signal.startTime, step = signal.step;
    if (!std::isfinite(t0) || !std::isfinite(step)) return none;
    if (step == 0) return t0 >= from && t0 <= to ? std::pair{0LL, static_cast<long long>(n) - 1} : none;
    // Sample positions of the two ends, in either order for a negative step.
    double a = (from - t0) / step, b = (to - t0) / step;
    if (a > b) std::swap(a, b);
    const double first = std::max(std::ceil(a), 0.0), last = std::min(std::floor(b), n - 1);
    if (!(first <= last)) return none;
    return {static_cast<long long>(first), static_cast<long long>(last)};
}

long long ChromatogramPlot::SamplesWithin(double from, double to) const {
    const auto [first, last] = SampleRange(from, to);
    return last >= first ? last - first + 1 : 0;
}

ChartView ChromatogramPlot::ViewOf(double from, double to) const {
    ChartView view = full_;
    view.xMin = from;
    view.xMax = to;
    const auto [first, last] = SampleRange(from, to);
    if (last < first || blocks_.Count() == 0) return view;
    const BlockExtremes::Range values = blocks_.Extremes(
        static_cast<std::size_t>(first), std::min(static_cast<std::size_t>(last), blocks_.Count() - 1));
    if (values.lowest > values.highest) return view;
    double lo = values.lowest, hi = values.highest;
    Widen(lo, hi);
    const double span = hi - lo;
    view.yMin = lo - kRoomBelow * span;
    view.yMax = hi + kRoomAbove * span;
    return view;
}
