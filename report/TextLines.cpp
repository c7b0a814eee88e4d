#include "report/TextLines.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>

namespace report {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString Printable(const std::string& text) {
    QString q = Q(text);
    for (QChar& c : q)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    return q;
}

QFont Font(double points, bool bold, bool monospace) {
    QFont font(monospace ? QStringLiteral("Courier New") : QStringLiteral("Arial"));
    font.setStyleHint(monospace ? QFont::Monospace : QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QStringList Wrap(const QString& text, const QFont& font, QPaintDevice* device, double width, int maxLines) {
    QStringList lines;
    QTextLayout layout(text, font, device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() == maxLines - 1) {
            const QFontMetricsF metrics(font, device);
            lines << metrics.elidedText(text.mid(line.textStart()).trimmed(), Qt::ElideRight, width);
            break;
        }
        QString part = text.mid(line.textStart(), line.textLength());
        while (!part.isEmpty() && part.back().isSpace()) part.chop(1);
        lines << part;
    }
    layout.endLayout();
    if (lines.isEmpty()) lines << QString();
    return lines;
}

QStringList CellLines(const std::string& text) {
    QStringList lines;
    for (const QString& line : Q(text).split(u'\n')) {
        QString printable = line;
        for (QChar& c : printable)
            if (c.category() == QChar::Other_Control) c = u' ';
        lines << printable;
    }
    return lines;
}

double WidestWord(const QString& text, const QFontMetricsF& metrics) {
    double widest = 0;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts))
        widest = std::max(widest, metrics.horizontalAdvance(word));
    return widest;
}

void DrawLines(QPainter& painter, const QStringList& lines, const QFont& font, double left, double top,
               double width, Qt::Alignment align) {
    const QFontMetricsF metrics(font, painter.device());
    painter.setFont(font);
    double y = top + metrics.ascent();
    for (const QString& line : lines) {
        double x = left;
        if (align & Qt::AlignRight) x = left + width - metrics.horizontalAdvance(line);
        if (align & Qt::AlignHCenter) x = left + (width - metrics.horizontalAdvance(line)) / 2;
        painter.drawText(QPointF(x, y), line);
        y += metrics.lineSpacing();
    }
}

}  // namespace report
