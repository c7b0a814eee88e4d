#include "platform/gui/Surface.h"

#include "platform/gui/SurfaceShared.h"

#include <QFont>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>

namespace platform {

using namespace surface;

Rect Intersect(const Rect& a, const Rect& b) {
    const Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                 std::min(a.bottom, b.bottom)};
    return r.IsEmpty() ? Rect{} : r;
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
