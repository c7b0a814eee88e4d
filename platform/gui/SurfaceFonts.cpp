#include "platform/gui/Surface.h"

#include "platform/gui/SurfaceShared.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_map>
#include <utility>

// The surface's fonts: how a font description becomes a Qt font, the metrics measured with it,
// and the texts drawn in it.
namespace platform {

using namespace surface;

namespace {

constexpr int kDefaultEmHeight = 12;  // the size a height of 0 asks for
constexpr int kMaxPixelSize = 4096;   // keeps absurd heights from building absurd glyph caches
// Average widths are measured at this size, where hinting no longer rounds the advances.
constexpr int kMeasureSize = 1000;

// The average character width as TrueType fonts have classically declared it: the widths of
// the lower-case letters and the space, weighted by their frequency in English text. Arial
// declares this figure, and Liberation Sans has the same lower-case widths, so the chart's
// label spacing comes out as it does with Arial. (A plain mean over all glyphs, which newer
// fonts declare, is half as wide again.)
double WeightedAverageCharWidth(const QFont& font) {
    static constexpr std::pair<char, int> kWeights[] = {
        {'a', 64}, {'b', 14}, {'c', 27}, {'d', 35}, {'e', 100}, {'f', 20}, {'g', 14}, {'h', 42},
        {'i', 63}, {'j', 3},  {'k', 6},  {'l', 35}, {'m', 20},  {'n', 56}, {'o', 56}, {'p', 17},
        {'q', 4},  {'r', 49}, {'s', 56}, {'t', 71}, {'u', 31},  {'v', 10}, {'w', 18}, {'x', 3},
        {'y', 18}, {'z', 2},  {' ', 166},
    };
    QFont large = font;
    large.setPixelSize(kMeasureSize);
    const QFontMetricsF fm(large);
    double sum = 0;
    for (const auto& [ch, weight] : kWeights) sum += weight * fm.horizontalAdvance(QChar(ch));
    return sum / 1000.0 * font.pixelSize() / kMeasureSize;
}

QFont::StyleHint StyleHintOf(int pitchAndFamily) {
    switch (pitchAndFamily >> 4) {
        case 1: return QFont::Serif;
        case 2: return QFont::SansSerif;
        case 3: return QFont::Monospace;
        case 4: return QFont::Cursive;
        case 5: return QFont::Decorative;
        default: return QFont::AnyStyle;
    }
}

int PixelSizeFor(const QFont& font, int height) {
    if (height < 0) return std::min(-height, kMaxPixelSize);
    if (height == 0) return kDefaultEmHeight;
    // A positive height is the cell height: scale the em so that ascent + descent match it.
    QFont large = font;
    large.setPixelSize(kMeasureSize);
    const QFontMetricsF fm(large);
    const double cell = fm.ascent() + fm.descent();
    const long size = cell > 0 ? std::lround(height * kMeasureSize / cell) : height;
    return static_cast<int>(std::clamp<long>(size, 1, kMaxPixelSize));
}

FontDescription Unturned(FontDescription font) {
    font.escapement = font.orientation = 0;
    return font;
}

}  // namespace

int ScreenDpiY() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            return static_cast<int>(std::lround(screen->logicalDotsPerInchY()));
    }
    return kDefaultDpi;
}

FontDescription PointFont(std::string_view faceName, int points, int charSet, int dpi) {
    FontDescription f;
    const long long tenths = static_cast<long long>(dpi) * 10 * points;
    const long long floored = tenths >= 0 ? tenths / 720 : -((-tenths + 719) / 720);
    f.height = static_cast<int>(-floored);
    f.charSet = charSet;
    f.faceName = std::string(faceName.substr(0, kFaceNameMax));
    return f;
}

QFont MakeQFont(const FontDescription& d) {
    QFont font(d.faceName.empty() ? QStringLiteral("Arial") : QString::fromStdString(d.faceName));
    font.setStyleHint(StyleHintOf(d.pitchAndFamily));
    font.setWeight(QFont::Weight(d.weight <= 0 ? 400 : std::min(d.weight, 1000)));
    font.setItalic(d.italic);
    font.setUnderline(d.underline);
    font.setStrikeOut(d.strikeOut);
    if (d.quality == kNonAntialiasedQuality) font.setStyleStrategy(QFont::NoAntialias);
    font.setPixelSize(PixelSizeFor(font, d.height));
    if (d.width > 0) {
        const double natural = WeightedAverageCharWidth(font);
        if (natural > 0)
            font.setStretch(static_cast<int>(std::clamp<long>(std::lround(100.0 * d.width / natural), 1, 4000)));
    }
    return font;
}

struct Surface::FontMeasures {
    FontDescription font;  // without escapement and orientation
    int ascent = 0, descent = 0;
    std::optional<int> averageCharWidth;
    std::unordered_map<std::string, Size> extents;
};

// Per thread, as each thread measures with fonts of its own; the texts of a font are
// forgotten once there are many (a chart zoomed about labels its ticks ever anew).
Surface::FontMeasures& Surface::Measures() const {
    if (currentMeasures_ != nullptr) return *currentMeasures_;
    thread_local std::vector<std::unique_ptr<FontMeasures>> measures_;
    const FontDescription font = Unturned(font_);
    for (const auto& m : measures_)
        if (m->font == font) return *(currentMeasures_ = m.get());
    auto measures = std::make_unique<FontMeasures>();
    measures->font = font;
    const QFontMetrics fm(*qfont_);
    measures->ascent = fm.ascent();
    measures->descent = fm.descent();
    measures_.push_back(std::move(measures));
    return *(currentMeasures_ = measures_.back().get());
}

FontDescription Surface::DefaultFont() {
    FontDescription f;
    f.height = 16;
    f.weight = 700;
    f.faceName = "Arial";
    return f;
}

FontDescription Surface::SelectFont(const FontDescription& font) {
    FontDescription old = font_;
    if (!(font == font_)) {
        font_ = font;
        // Escapement only turns the text; the glyphs are the same.
        if (!(Unturned(font) == Unturned(old))) {
            *qfont_ = MakeQFont(font_);
            currentMeasures_ = nullptr;
        }
    }
    return old;
}

void Surface::TextOut(int x, int y, std::string_view utf8) {
    Flush();
    if (!painter_) return;
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    const int width = GetTextExtent(utf8).cx;
    const FontMeasures& fm = Measures();
    int dx = 0;
    if ((align_ & kAlignCenter) == kAlignCenter)
        dx = -width / 2;
    else if (align_ & kAlignRight)
        dx = -width;
    int baseline = fm.ascent;
    if ((align_ & kAlignBaseline) == kAlignBaseline)
        baseline = 0;
    else if (align_ & kAlignBottom)
        baseline = -fm.descent;

    painter_->save();
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_->translate(x, y);
    if (font_.escapement != 0) painter_->rotate(-font_.escapement / 10.0);
    if (!transparentBackground_)
        painter_->fillRect(QRect(dx, baseline - fm.ascent, width, fm.ascent + fm.descent),
                           ToQColor(backgroundColor_));
    painter_->setFont(*qfont_);
    painter_->setPen(ToQColor(textColor_));
    painter_->drawText(QPoint(dx, baseline), text);
    painter_->restore();
}

Size Surface::GetTextExtent(std::string_view utf8) const {
    FontMeasures& measures = Measures();
    constexpr std::size_t kMaxTexts = 4096;
    if (measures.extents.size() >= kMaxTexts) measures.extents.clear();
    const auto [it, added] = measures.extents.try_emplace(std::string(utf8));
    if (added) {
        const QFontMetrics fm(*qfont_);
        const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
        it->second = {fm.horizontalAdvance(text), measures.ascent + measures.descent};
    }
    return it->second;
}

TextMetrics Surface::GetTextMetrics() const {
    FontMeasures& measures = Measures();
    if (!measures.averageCharWidth)
        measures.averageCharWidth = static_cast<int>(std::lround(WeightedAverageCharWidth(*qfont_)));
    TextMetrics m;
    m.ascent = measures.ascent;
    m.descent = measures.descent;
    m.height = m.ascent + m.descent;
    m.averageCharWidth = *measures.averageCharWidth;
    return m;
}

}  // namespace platform
