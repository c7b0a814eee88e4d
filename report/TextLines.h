#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <Qt>

#include <string>

class QFontMetricsF;
class QPaintDevice;
class QPainter;

// The protocol's texts as lines on the page: the fonts, wrapping within a width, and drawing.
// Sizes are in device pixels of the device given.
namespace report {

QString Q(const std::string& text);

// Control characters (a line break in a sample name) would break the layout: they become spaces.
QString Printable(const std::string& text);

// Arial, or Courier New for `monospace`, at `points`.
QFont Font(double points, bool bold = false, bool monospace = false);

// The lines `text` breaks into within `width`: at word boundaries where it can, anywhere where
// a word alone is too wide. With more than `maxLines` lines the last one takes the rest and ends
// in an ellipsis.
QStringList Wrap(const QString& text, const QFont& font, QPaintDevice* device, double width, int maxLines);

// The lines of a cell that does not wrap: its own line breaks, if any.
QStringList CellLines(const std::string& text);

// The width of the widest space-separated word of `text`.
double WidestWord(const QString& text, const QFontMetricsF& metrics);

// Lines of text at `left`, from the top `top` down, each line a line spacing below the last.
void DrawLines(QPainter& painter, const QStringList& lines, const QFont& font, double left, double top,
               double width, Qt::Alignment align = Qt::AlignLeft);

}  // namespace report
