// The floor of the drawing benchmarks: QPainter's one-pixel polyline through points already
// mapped to pixels, onto the same image the chart draws into.
#pragma once

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPolygon>

namespace bench {

inline void DrawPolylineFloor(QImage& image, const QPolygon& mapped) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 0));
    painter.drawPolyline(mapped);
}

}  // namespace bench
