// ostrel-icon DIR: draws the application icon, a chromatogram trace with its two peaks (ethanol and
// the internal standard) on a blue tile, at the sizes the window system and the hicolor icon theme
// ask for, into DIR/ostrel-<size>.png. The PNG files are committed under resources/icons/ (the
// program carries some, the installation puts all into the icon theme); run this only to change
// the picture.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>

namespace {

constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};

double Gaussian(double x, double centre, double width) {
    const double z = (x - centre) / width;
    return std::exp(-z * z / 2);
}

// The trace on a unit square, y upwards: a low baseline, a small early peak, the tall ethanol
// peak and the internal standard's.
double Trace(double x) {
    return 0.08 + 0.18 * Gaussian(x, 0.22, 0.035) + 0.78 * Gaussian(x, 0.47, 0.05) + 0.5 * Gaussian(x, 0.74, 0.055);
}

QImage DrawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    const double margin = s >= 32 ? s / 32 : 0;
    const QRectF tile(margin, margin, s - 2 * margin, s - 2 * margin);

    QLinearGradient background(tile.topLeft(), tile.bottomLeft());
    background.setColorAt(0, QColor(QRgb(0x2F6FB3)));
    background.setColorAt(1, QColor(QRgb(0x163E6E)));
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(tile, s * 0.18, s * 0.18);

    // The plot area inside the tile.
    const QRectF plot = tile.adjusted(s * 0.12, s * 0.14, -s * 0.1, -s * 0.16);
    const auto at = [&](double x, double y) { return QPointF(plot.left() + x * plot.width(), plot.bottom() - y * plot.height()); };

    QPainterPath trace;
    trace.moveTo(at(0, Trace(0)));
    constexpr int kSteps = 200;
    for (int i = 1; i <= kSteps; ++i) {
        const double x = static_cast<double>(i) / kSteps;
        trace.lineTo(at(x, Trace(x)));
    }
    // The area of the ethanol peak, filled as the integration fills it.
    QPainterPath area;
    area.moveTo(at(0.36, Trace(0.36)));
    for (int i = 0; i <= kSteps; ++i) {
        const double x = 0.36 + 0.22 * i / kSteps;
        area.lineTo(at(x, Trace(x)));
    }
    area.closeSubpath();
    painter.setBrush(QColor(255, 200, 60, 200));
    painter.drawPath(area);

    // Axes.
    const double line = std::max(1.0, s / 36);
    painter.setPen(QPen(QColor(200, 220, 245), line * 0.8, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(at(0, 0), at(1, 0));
    if (size >= 24) painter.drawLine(at(0, 0), at(0, 1));

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, line * 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(trace);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ostrel-icon DIR\n");
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    for (int size : kSizes) {
        const QString path = dir.filePath(QStringLiteral("ostrel-%1.png").arg(size));
        if (!DrawIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "ostrel-icon: cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
