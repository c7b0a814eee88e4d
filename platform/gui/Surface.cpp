#include "platform/gui/Surface.h"

#include "platform/MulDiv.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QLine>
#include <QPolygon>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <unordered_map>
#include <utility>

namespace platform {

namespace {

constexpr int kDefaultDpi = 96;
constexpr int kDefaultEmHeight = 12;  // the size a height of 0 asks for
constexpr int kMaxPixelSize = 4096;   // keeps absurd heights from building absurd glyph caches
constexpr double kMetersPerInch = 0.0254;
// Average widths are measured at this size, where hinting no longer rounds the advances.
constexpr int kMeasureSize = 1000;

QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

Rect Normalised(int left, int top, int right, int bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    return {left, top, right, bottom};
}

QRect ToQRect(const Rect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

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

// The end pixel of a line is left out: the last point moves back one pixel along the line's
// major axis, the minor axis following the line's slope.
Point OnePixelShort(Point from, Point to) {
    const int dx = to.x - from.x;
    const int dy = to.y - from.y;
    const int len = std::max(std::abs(dx), std::abs(dy));
    if (len <= 1) return from;
    if (std::abs(dx) >= std::abs(dy))
        return {to.x - (dx > 0 ? 1 : -1), from.y + MulDiv(dy, len - 1, len)};
    return {from.x + MulDiv(dx, len - 1, len), to.y - (dy > 0 ? 1 : -1)};
}

// On a scaled device a stroke of logical width 1 drawn through the integer point (x, y) would
// cover half of pixel x-1 and half of pixel x; shifted by half a pixel it covers pixel x whole,
// which is the pixel the unscaled device paints. Fills and texts are not shifted.
class StrokeCentred {
public:
    StrokeCentred(QPainter& painter, bool scaled) : painter_(painter), scaled_(scaled) {
        if (scaled_) painter_.translate(0.5, 0.5);
    }
    ~StrokeCentred() {
        if (scaled_) painter_.translate(-0.5, -0.5);
    }
    StrokeCentred(const StrokeCentred&) = delete;
    StrokeCentred& operator=(const StrokeCentred&) = delete;

private:
    QPainter& painter_;
    bool scaled_;
};

}  // namespace

Rect Intersect(const Rect& a, const Rect& b) {
    const Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                 std::min(a.bottom, b.bottom)};
    return r.IsEmpty() ? Rect{} : r;
}

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

QImage MakeImage(int width, int height, double devicePixelRatio) {
    const bool scaled = devicePixelRatio > 1;
    QImage image(scaled ? static_cast<int>(std::ceil(width * devicePixelRatio)) : width,
                 scaled ? static_cast<int>(std::ceil(height * devicePixelRatio)) : height, QImage::Format_RGB32);
    const int dpm = static_cast<int>(std::lround(kDefaultDpi / kMetersPerInch));
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    if (scaled) image.setDevicePixelRatio(devicePixelRatio);
    if (!image.isNull()) image.fill(Qt::white);
    return image;
}

struct Surface::FontMeasures {
    FontDescription font;  // without escapement and orientation
    int ascent = 0, descent = 0;
    std::optional<int> averageCharWidth;
    std::unordered_map<std::string, Size> extents;
};

namespace {

FontDescription Unturned(FontDescription font) {
    font.escapement = font.orientation = 0;
    return font;
}

}  // namespace

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

Surface::Surface(QPaintDevice& device) : device_(device) {
    // A device without pixels (an empty image) cannot be painted; the surface then only measures.
    if (device.width() > 0 && device.height() > 0) {
        ownPainter_ = std::make_unique<QPainter>(&device);
        if (ownPainter_->isActive())
            painter_ = ownPainter_.get();
        else
            ownPainter_.reset();
    }
    Start();
}

Surface::Surface(QPainter& painter) : painter_(&painter), device_(*painter.device()) {
    painter_->save();
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    Start();
}

Surface::~Surface() {
    Flush();
    if (ownPainter_)
        ownPainter_->end();
    else if (painter_)
        painter_->restore();
}

void Surface::Start() {
    if (painter_) painter_->setRenderHint(QPainter::Antialiasing, false);
    scaled_ = device_.devicePixelRatioF() > 1;
    if (ownPainter_ && device_.devType() == QInternal::Image && device_.devicePixelRatioF() == 1) {
        // The painter has begun on the image, which detached it: bits() hands out the buffer
        // the painter paints, without copying it. Opaque 32-bit pixels are 0xffRRGGBB in
        // both formats.
        auto& image = static_cast<QImage&>(device_);
        if (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32_Premultiplied) {
            pixels_ = reinterpret_cast<std::uint32_t*>(image.bits());
            pixelsPerLine_ = image.bytesPerLine() / 4;
            pixelColumns_ = image.width();
            pixelRows_ = image.height();
        }
    }
    font_ = DefaultFont();
    qfont_ = std::make_unique<QFont>(MakeQFont(font_));
    ApplyPen();
    ApplyBrush();
}

// Images and pixmaps measure themselves in their own pixels, other devices in logical ones.
int Surface::Width() const {
    const bool ownPixels = device_.devType() == QInternal::Image || device_.devType() == QInternal::Pixmap;
    return ownPixels ? static_cast<int>(device_.width() / device_.devicePixelRatioF()) : device_.width();
}
int Surface::Height() const {
    const bool ownPixels = device_.devType() == QInternal::Image || device_.devType() == QInternal::Pixmap;
    return ownPixels ? static_cast<int>(device_.height() / device_.devicePixelRatioF()) : device_.height();
}
int Surface::LogicalDpiY() const { return device_.logicalDpiY(); }

Pen Surface::SelectPen(const Pen& pen) {
    Flush();
    Pen old = std::exchange(pen_, pen);
    ApplyPen();
    return old;
}

Brush Surface::SelectBrush(const Brush& brush) {
    Flush();
    Brush old = std::exchange(brush_, brush);
    ApplyBrush();
    return old;
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

Rgb Surface::SetTextColor(Rgb color) { return std::exchange(textColor_, color); }
void Surface::SetTransparentBackground(bool transparent) { transparentBackground_ = transparent; }
void Surface::SetBackgroundColor(Rgb color) { backgroundColor_ = color; }
int Surface::SetTextAlign(int align) { return std::exchange(align_, align); }

void Surface::SetInvert(bool invert) {
    Flush();
    invert_ = invert;
    if (painter_)
        painter_->setCompositionMode(invert ? QPainter::RasterOp_NotDestination : QPainter::CompositionMode_SourceOver);
}

void Surface::ApplyPen() {
    if (!painter_) return;
    if (pen_.style == kPenNull) {
        painter_->setPen(Qt::NoPen);
        return;
    }
    QPen pen(ToQColor(pen_.color));
    if (pen_.width <= 1 && scaled_) {
        // One logical pixel: as many device pixels as the ratio, the ends and corners square.
        pen.setWidth(1);
        pen.setCapStyle(Qt::SquareCap);
        pen.setJoinStyle(Qt::MiterJoin);
    } else if (pen_.width <= 1) {
        pen.setWidth(0);  // cosmetic: one pixel whatever the transformation
    } else {
        pen.setWidth(pen_.width);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
    }
    // Dash lengths in pen widths, as a device context draws its styled one-pixel pens.
    QList<qreal> pattern;
    switch (pen_.style) {
        case kPenDash: pattern = {18, 6}; break;
        case kPenDot: pattern = {3, 3}; break;
        case kPenDashDot: pattern = {9, 6, 3, 6}; break;
        case kPenDashDotDot: pattern = {9, 3, 3, 3, 3, 3}; break;
        default: break;
    }
    // A square cap lengthens every dash by half a pen width at each end: the scaled pen's dashes
    // are one shorter and its gaps one longer, so that they cover the pixels the cosmetic pen's do.
    if (scaled_ && pen_.width <= 1)
        for (qsizetype i = 0; i < pattern.size(); ++i) pattern[i] += i % 2 == 0 ? -1 : 1;
    if (!pattern.isEmpty()) pen.setDashPattern(pattern);
    painter_->setPen(pen);
}

void Surface::ApplyBrush() {
    if (!painter_) return;
    if (brush_.hollow)
        painter_->setBrush(Qt::NoBrush);
    else
        painter_->setBrush(ToQColor(brush_.color));
}

void Surface::MoveTo(int x, int y) {
    Flush();
    position_ = {x, y};
}

void Surface::LineTo(int x, int y) {
    const Point to{x, y};
    if (to == position_) return;
    if (pen_.style != kPenNull && painter_) {
        if (chain_.empty()) chain_.push_back(position_);
        chain_.push_back(to);
    }
    position_ = to;
}

void Surface::Flush() {
    if (chain_.size() < 2) {
        chain_.clear();
        return;
    }
    if (pen_.style == kPenSolid && pen_.width <= 1) {
        FlushSegments();
    } else {
        FlushPolyline();
    }
    chain_.clear();
}

// Each line of the chain on its own, its end pixel left out, so that the joints are those of
// the segments alone: a polyline's stroker decides some joint pixels by the direction of the
// segment before, and the same pixels must come out however a line is split into segments.
//
// Upright and level segments are filled as rectangles one pixel wide, which covers the same
// pixels many times faster: a chart's lines drawn per pixel column are mostly upright. One
// upright segment after another in the same column joins the one before at its first pixel,
// so such a run is filled once, from its highest pixel to its lowest, rather than going over
// its rows again for each segment. (Not when inverting, where a fill would not invert.)
void Surface::FlushSegments() {
    std::vector<QLine> lines;
    lines.reserve(chain_.size() - 1);
    struct UprightRun {
        bool open = false;
        int x = 0, top = 0, bottom = 0;
    } run;
    const auto fillRun = [&] {
        if (run.open) FillSolid({run.x, run.top, run.x + 1, run.bottom + 1}, pen_.color);
        run.open = false;
    };
    for (std::size_t i = 0; i + 1 < chain_.size(); ++i) {
        const Point from = chain_[i];
        const Point end = OnePixelShort(from, chain_[i + 1]);
        if (!invert_ && from.x == end.x) {
            const int top = std::min(from.y, end.y), bottom = std::max(from.y, end.y);
            if (run.open && run.x == from.x) {
                run.top = std::min(run.top, top);
                run.bottom = std::max(run.bottom, bottom);
            } else {
                fillRun();
                run = {true, from.x, top, bottom};
            }
            continue;
        }
        fillRun();
        if (!invert_ && from.y == end.y) {
            FillSolid({std::min(from.x, end.x), from.y, std::max(from.x, end.x) + 1, from.y + 1}, pen_.color);
            continue;
        }
        lines.emplace_back(from.x, from.y, end.x, end.y);
    }
    fillRun();
    if (lines.empty()) return;
    const StrokeCentred centred(*painter_, scaled_);
    painter_->drawLines(lines.data(), static_cast<int>(lines.size()));
}

// A wide or styled pen draws the chain as one polyline: its joins and its dash pattern run on
// across the joints.
void Surface::FlushPolyline() {
    const std::size_t n = chain_.size();
    const Point end = OnePixelShort(chain_[n - 2], chain_[n - 1]);
    const StrokeCentred centred(*painter_, scaled_);
    if (end == chain_[n - 2]) {
        chain_.pop_back();
        if (chain_.size() == 1) {
            painter_->drawPoint(chain_[0].x, chain_[0].y);
            return;
        }
    } else {
        chain_.back() = end;
    }
    QPolygon polygon(static_cast<int>(chain_.size()));
    for (int i = 0; i < polygon.size(); ++i) polygon[i] = QPoint(chain_[i].x, chain_[i].y);
    painter_->drawPolyline(polygon);
}

void Surface::Rectangle(int left, int top, int right, int bottom) {
    Flush();
    const Rect r = Normalised(left, top, right, bottom);
    if (r.IsEmpty() || !painter_) return;
    if (pen_.style == kPenNull) {
        if (!brush_.hollow) FillSolid({r.left, r.top, r.right - 1, r.bottom - 1}, brush_.color);
        return;
    }
    if (pen_.style != kPenSolid || pen_.width > 1) {
        const StrokeCentred centred(*painter_, scaled_);
        painter_->drawRect(QRect(r.left, r.top, r.Width() - 1, r.Height() - 1));
        return;
    }
    // A one-pixel frame is filled edge by edge, so that no pixel is drawn twice: in the
    // inverting mode a corner drawn twice would come out uninverted.
    if (!brush_.hollow && r.Width() > 2 && r.Height() > 2)
        FillSolid({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, brush_.color);
    const Rgb c = pen_.color;
    FillSolid({r.left, r.top, r.right, r.top + 1}, c);
    if (r.Height() > 1) FillSolid({r.left, r.bottom - 1, r.right, r.bottom}, c);
    if (r.Height() > 2) {
        FillSolid({r.left, r.top + 1, r.left + 1, r.bottom - 1}, c);
        if (r.Width() > 1) FillSolid({r.right - 1, r.top + 1, r.right, r.bottom - 1}, c);
    }
}

void Surface::Ellipse(int left, int top, int right, int bottom) {
    Flush();
    const Rect r = Normalised(left, top, right, bottom);
    if (r.IsEmpty() || !painter_) return;
    // QPainter covers one pixel more than the box it is given when it outlines, and exactly
    // the box when it only fills: both match the device context's rule with this box.
    const StrokeCentred centred(*painter_, scaled_ && pen_.style != kPenNull);
    painter_->drawEllipse(QRect(r.left, r.top, r.Width() - 1, r.Height() - 1));
}

void Surface::FillRect(const Rect& rect, Rgb color) {
    Flush();
    const Rect r = Normalised(rect.left, rect.top, rect.right, rect.bottom);
    if (r.IsEmpty() || !painter_) return;
    if (!invert_) {
        FillSolid(r, color);
        return;
    }
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_->fillRect(ToQRect(r), ToQColor(color));
    painter_->setCompositionMode(QPainter::RasterOp_NotDestination);
}

// Inverting, the painter's composition mode turns the fill into an inversion: only the painter
// does that.
void Surface::FillSolid(const Rect& r, Rgb color) {
    if (pixels_ == nullptr || invert_) {
        painter_->fillRect(ToQRect(r), ToQColor(color));
        return;
    }
    const Rect inside = Intersect(r, {0, 0, pixelColumns_, pixelRows_});
    if (inside.IsEmpty()) return;
    const std::uint32_t pixel = 0xff000000u | (std::uint32_t{color.r} << 16) | (std::uint32_t{color.g} << 8) | color.b;
    std::uint32_t* row = pixels_ + inside.top * pixelsPerLine_ + inside.left;
    const int width = inside.Width();
    if (width == 1) {  // upright lines: most of a chart's fills
        for (int y = inside.top; y < inside.bottom; ++y, row += pixelsPerLine_) *row = pixel;
        return;
    }
    for (int y = inside.top; y < inside.bottom; ++y, row += pixelsPerLine_) std::fill_n(row, width, pixel);
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

QImage Surface::CreateCompatibleImage(int width, int height) const {
    QImage image = MakeImage(width, height, device_.devicePixelRatioF());
    if (const auto* source = dynamic_cast<const QImage*>(&device_)) {
        image.setDotsPerMeterX(source->dotsPerMeterX());
        image.setDotsPerMeterY(source->dotsPerMeterY());
    } else {
        image.setDotsPerMeterX(static_cast<int>(std::lround(device_.logicalDpiX() / kMetersPerInch)));
        image.setDotsPerMeterY(static_cast<int>(std::lround(device_.logicalDpiY() / kMetersPerInch)));
    }
    return image;
}

void Surface::DrawImage(int x, int y, const QImage& image) {
    Flush();
    if (!painter_ || image.isNull()) return;
    painter_->save();
    painter_->setCompositionMode(QPainter::CompositionMode_Source);
    painter_->drawImage(QPoint(x, y), image);
    painter_->restore();
}

}  // namespace platform
