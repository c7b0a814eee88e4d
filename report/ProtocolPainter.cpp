#include "report/ProtocolPainter.h"

#include "chart/AutoChart.h"
#include "chart/CalibrationChart.h"
#include "platform/gui/Surface.h"
#include "report/ColumnWidths.h"
#include "report/Pagination.h"
#include "report/TextLines.h"

#include <QFont>
#include <QFontMetricsF>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <functional>
#include <numeric>
#include <vector>

namespace {

using core::ProtocolColumn;
using core::ProtocolField;
using core::ProtocolText;
using report::CellLines;
using report::DrawLines;
using report::Font;
using report::Printable;
using report::Q;
using report::WidestWord;
using report::Wrap;

constexpr double kPointsPerInch = 72;
constexpr double kMillimetresPerInch = 25.4;

// Page (millimetres).
constexpr double kMarginLeft = 20, kMarginRight = 15, kMarginTop = 15, kMarginBottom = 15;
constexpr double kChartHeight = 72;
constexpr double kSignatureWidths[] = {40, 60, 35};  // the lines for signature, name and date

// Type (points).
constexpr double kLabSize = 11;
constexpr double kTitleSize = 15;
constexpr double kHeadingSize = 10;
constexpr double kTextSize = 9.5;
constexpr double kVerdictSize = 11;
constexpr double kFooterSize = 8;
constexpr double kTableSize = 7.5;
constexpr double kSmallestUnwrappedTableSize = 6.5;
constexpr double kSmallestTableSize = 5;
constexpr double kTableSizeStep = 0.5;
constexpr double kCaptionSize = 6.5;

// Spacing (points).
constexpr double kBlockGap = 9;
constexpr double kHeadingGap = 3;
constexpr double kFieldGap = 10;   // between a label and its value
constexpr double kCellPadding = 2;
constexpr double kMeasuringSlack = 0.5;
constexpr double kRule = 0.5;      // lines of the table and the signatures
constexpr double kSignatureRowHeight = 26;
constexpr double kMinimumWrappingColumn = 30;

constexpr int kCellLines = 3;  // a name longer than this many lines ends in an ellipsis
constexpr int kFieldLines = 3;
constexpr int kProblemLines = 4;  // the same for a reason of the verdict

constexpr QRgb kAcceptedColour = qRgb(0, 128, 0);
constexpr QRgb kRefusedColour = qRgb(200, 0, 0);
constexpr QRgb kWarningColour = qRgb(170, 85, 0);

// Lengths on the device: the painter draws in device pixels.
class Units {
public:
    explicit Units(const QPaintDevice& device) : dpi_(device.logicalDpiY()) {}
    double Pt(double points) const { return points * dpi_ / kPointsPerInch; }
    double Mm(double millimetres) const { return millimetres * dpi_ / kMillimetresPerInch; }
    int Dpi() const { return dpi_; }

private:
    int dpi_;
};

// A part of the page that stays together: its height, how it paints itself at a given top, and
// whether the space between blocks follows it (not within a list).
struct Block {
    double height = 0;
    std::function<void(QPainter&, double top)> paint;
    bool gapAfter = true;
};

class ProtocolLayout {
public:
    ProtocolLayout(QPaintDevice& device, const core::Protocol& protocol)
        : device_(device), units_(device), width_(device.width()), protocol_(protocol),
          text_(core::DescribeProtocol(protocol)) {}

    std::vector<Block> Blocks() {
        std::vector<Block> blocks;
        blocks.push_back(Header());
        blocks.push_back(Fields({}, AboutAndMethod()));
        blocks.push_back(Fields(text_.inputsHeading, text_.inputs));
        blocks.push_back(Table());
        blocks.push_back(Results());
        // The problems one by one, so that a long list continues on the next page.
        for (const std::string& problem : text_.problems) {
            blocks.back().gapAfter = false;
            blocks.push_back(Problem(problem));
        }
        blocks.push_back(Chart());
        blocks.push_back(Signatures());
        return blocks;
    }

    double FooterHeight() const { return units_.Pt(kBlockGap) + QFontMetricsF(Font(kFooterSize), &device_).height(); }

    void PaintFooter(QPainter& painter, int page, int pages, double pageHeight) const {
        const QFont font = Font(kFooterSize);
        const double top = pageHeight - QFontMetricsF(font, &device_).height();
        painter.setPen(Qt::black);
        DrawLines(painter, {Q(text_.title + ", " + text_.about.front().value)}, font, 0, top, width_);
        DrawLines(painter, {Q(core::PageFooter(page, pages))}, font, 0, top, width_, Qt::AlignRight);
    }

private:
    double LineHeight(const QFont& font) const { return QFontMetricsF(font, &device_).lineSpacing(); }

    std::vector<ProtocolField> AboutAndMethod() const {
        std::vector<ProtocolField> fields = text_.about;
        fields.insert(fields.end(), text_.method.begin(), text_.method.end());
        return fields;
    }

    Block Header() const {
        struct Line {
            QString text;
            QFont font;
        };
        std::vector<Line> lines;
        if (!text_.lab.empty()) lines.push_back({Printable(text_.lab), Font(kLabSize, true)});
        lines.push_back({Q(text_.title), Font(kTitleSize, true)});
        lines.push_back({Q(text_.determination), Font(kTextSize)});
        std::vector<std::pair<QStringList, QFont>> wrapped;
        double height = 0;
        for (const Line& line : lines) {
            QStringList parts = Wrap(line.text, line.font, &device_, width_, kFieldLines);
            height += parts.size() * LineHeight(line.font);
            wrapped.emplace_back(std::move(parts), line.font);
        }
        const double rule = units_.Pt(kHeadingGap);
        return {height + rule, [this, wrapped, height](QPainter& painter, double top) {
                    painter.setPen(Qt::black);
                    double y = top;
                    for (const auto& [parts, font] : wrapped) {
                        DrawLines(painter, parts, font, 0, y, width_, Qt::AlignHCenter);
                        y += parts.size() * LineHeight(font);
                    }
                    painter.setPen(QPen(Qt::black, units_.Pt(kRule)));
                    painter.drawLine(QPointF(0, top + height + units_.Pt(kHeadingGap) / 2),
                                     QPointF(width_, top + height + units_.Pt(kHeadingGap) / 2));
                }};
    }

    // A heading over a block's content, or nothing for an empty heading: its height and painter.
    std::pair<double, std::function<void(QPainter&, double)>> Heading(const std::string& heading) const {
        if (heading.empty()) return {0, [](QPainter&, double) {}};
        const QFont font = Font(kHeadingSize, true);
        const QString text = Q(heading);
        return {LineHeight(font) + units_.Pt(kHeadingGap), [this, font, text](QPainter& painter, double top) {
                    painter.setPen(Qt::black);
                    DrawLines(painter, {text}, font, 0, top, width_);
                }};
    }

    // "label   value" lines; a value too long for its room wraps below itself.
    Block Fields(const std::string& heading, const std::vector<ProtocolField>& fields) const {
        const QFont font = Font(kTextSize);
        const QFontMetricsF metrics(font, &device_);
        double labelWidth = 0;
        for (const ProtocolField& field : fields) labelWidth = std::max(labelWidth, metrics.horizontalAdvance(Q(field.label)));
        labelWidth = std::min(labelWidth, width_ * 0.45);
        const double valueLeft = labelWidth + units_.Pt(kFieldGap);
        const double valueWidth = width_ - valueLeft;
        struct Row {
            QStringList label, value;
        };
        std::vector<Row> rows;
        for (const ProtocolField& field : fields)
            rows.push_back({Wrap(Q(field.label), font, &device_, labelWidth, kFieldLines),
                            Wrap(Printable(field.value), font, &device_, valueWidth, kFieldLines)});
        // Named copies, not a structured binding: the lambdas below capture them (clang 14 cannot).
        const auto headingBlock = Heading(heading);
        const double headingHeight = headingBlock.first;
        const auto paintHeading = headingBlock.second;
        double height = headingHeight;
        for (const Row& row : rows) height += std::max(row.label.size(), row.value.size()) * metrics.lineSpacing();
        return {height, [=](QPainter& painter, double top) {
                    paintHeading(painter, top);
                    painter.setPen(Qt::black);
                    double y = top + headingHeight;
                    for (const Row& row : rows) {
                        DrawLines(painter, row.label, font, 0, y, labelWidth);
                        DrawLines(painter, row.value, font, valueLeft, y, valueWidth);
                        y += std::max(row.label.size(), row.value.size()) * metrics.lineSpacing();
                    }
                }};
    }

    // The column widths of the level table at `font`, or nothing when even the narrowest
    // wrapping columns leave no room, or when `unwrapped` asks for room for every name on one
    // line and there is not.
    std::optional<std::vector<double>> ColumnWidths(const QFont& font, const QFont& headerFont, const QFont& codeFont,
                                                    bool unwrapped) const {
        const QFontMetricsF cell(font, &device_), header(headerFont, &device_), code(codeFont, &device_);
        // A hair more than the text: a layout may measure a little wider than the metrics.
        const double padding = 2 * units_.Pt(kCellPadding) + units_.Pt(kMeasuringSlack);
        std::vector<report::ColumnNeed> needs;
        for (std::size_t c = 0; c < text_.columns.size(); ++c) {
            const ProtocolColumn& column = text_.columns[c];
            const QFontMetricsF& metrics = column.kind == ProtocolColumn::Kind::Code ? code : cell;
            double widest = 0;
            for (const auto& row : text_.rows)
                for (const QString& line : CellLines(row[c]))
                    widest = std::max(widest, metrics.horizontalAdvance(line));
            const double headerWord = WidestWord(Q(column.header), header);
            report::ColumnNeed need;
            if (column.kind == ProtocolColumn::Kind::Wrapping) {
                double widestWord = 0;
                for (const auto& row : text_.rows) widestWord = std::max(widestWord, WidestWord(Printable(row[c]), cell));
                need.minimum = std::max({headerWord, units_.Pt(kMinimumWrappingColumn), std::min(widestWord, units_.Pt(3 * kMinimumWrappingColumn))}) + padding;
                need.natural = std::max({widest, header.horizontalAdvance(Q(column.header))}) + padding;
                need.natural = std::max(need.natural, need.minimum);
                need.wraps = true;
            } else {
                need.minimum = need.natural = std::max(widest, headerWord) + padding;
            }
            needs.push_back(need);
        }
        return report::SolveColumnWidths(needs, width_, unwrapped);
    }

    Block Table() const {
        // The largest type at which the names need not wrap, down to a size that still reads
        // well; else the largest at which the table fits the width at all.
        const auto widthsAt = [this](double points, bool unwrapped) {
            return ColumnWidths(Font(points), Font(points, true), Font(points, false, true), unwrapped);
        };
        double size = kTableSize;
        std::optional<std::vector<double>> widths;
        for (double points = kTableSize; points >= kSmallestUnwrappedTableSize && !widths; points -= kTableSizeStep)
            if ((widths = widthsAt(points, true))) size = points;
        for (double points = kTableSize; points >= kSmallestTableSize && !widths; points -= kTableSizeStep)
            if ((widths = widthsAt(points, false))) size = points;
        if (!widths) {
            size = kSmallestTableSize;
            widths = std::vector<double>(text_.columns.size(), width_ / static_cast<double>(text_.columns.size()));
        }
        const QFont font = Font(size), headerFont = Font(size, true), codeFont = Font(size, false, true);
        const double padding = units_.Pt(kCellPadding);
        const double lineHeight = LineHeight(font);
        const std::size_t n = text_.columns.size();

        struct Cell {
            QStringList lines;
            QFont font;
            Qt::Alignment align;
        };
        using Row = std::vector<Cell>;
        std::vector<Row> rows;
        Row header;
        for (std::size_t c = 0; c < n; ++c)
            header.push_back({Wrap(Q(text_.columns[c].header), headerFont, &device_, (*widths)[c] - 2 * padding, kCellLines),
                              headerFont,
                              text_.columns[c].kind == ProtocolColumn::Kind::Number ? Qt::AlignRight : Qt::AlignLeft});
        rows.push_back(header);
        for (const auto& texts : text_.rows) {
            Row row;
            for (std::size_t c = 0; c < n; ++c) {
                const ProtocolColumn::Kind kind = text_.columns[c].kind;
                const QFont& cellFont = kind == ProtocolColumn::Kind::Code ? codeFont : font;
                const QStringList lines = kind == ProtocolColumn::Kind::Wrapping
                                              ? Wrap(Printable(texts[c]), cellFont, &device_, (*widths)[c] - 2 * padding, kCellLines)
                                              : CellLines(texts[c]);
                row.push_back({lines, cellFont, kind == ProtocolColumn::Kind::Number ? Qt::AlignRight : Qt::AlignLeft});
            }
            rows.push_back(std::move(row));
        }
        std::vector<double> heights;
        for (const Row& row : rows) {
            qsizetype lines = 1;
            for (const Cell& cell : row) lines = std::max(lines, cell.lines.size());
            heights.push_back(lines * lineHeight + 2 * padding);
        }
        // Named copies, not a structured binding: the lambdas below capture them (clang 14 cannot).
        const auto headingBlock = Heading(text_.tableHeading);
        const double headingHeight = headingBlock.first;
        const auto paintHeading = headingBlock.second;
        const double tableHeight = std::accumulate(heights.begin(), heights.end(), 0.0);
        const std::vector<core::LevelMark> marks = text_.rowMarks;
        const std::vector<double> columnWidths = *widths;
        return {headingHeight + tableHeight, [=, this](QPainter& painter, double top) {
                    paintHeading(painter, top);
                    double y = top + headingHeight;
                    for (std::size_t r = 0; r < rows.size(); ++r) {
                        const bool levelRow = r > 0;
                        QColor colour = Qt::black;
                        if (levelRow && marks[r - 1] == core::LevelMark::Problem) colour = QColor(kRefusedColour);
                        if (levelRow && marks[r - 1] == core::LevelMark::Warning) colour = QColor(kWarningColour);
                        double x = 0;
                        for (std::size_t c = 0; c < n; ++c) {
                            const Cell& cell = rows[r][c];
                            painter.setPen(colour);
                            DrawLines(painter, cell.lines, cell.font, x + padding, y + padding,
                                      columnWidths[c] - 2 * padding, cell.align);
                            x += columnWidths[c];
                        }
                        y += heights[r];
                    }
                    // The grid.
                    painter.setPen(QPen(Qt::black, units_.Pt(kRule)));
                    const double tableWidth = std::accumulate(columnWidths.begin(), columnWidths.end(), 0.0);
                    double ruleY = top + headingHeight;
                    painter.drawLine(QPointF(0, ruleY), QPointF(tableWidth, ruleY));
                    for (const double h : heights) {
                        ruleY += h;
                        painter.drawLine(QPointF(0, ruleY), QPointF(tableWidth, ruleY));
                    }
                    double ruleX = 0;
                    painter.drawLine(QPointF(0, top + headingHeight), QPointF(0, ruleY));
                    for (const double w : columnWidths) {
                        ruleX += w;
                        painter.drawLine(QPointF(ruleX, top + headingHeight), QPointF(ruleX, ruleY));
                    }
                }};
    }

    // The figures of the judgement and the verdict under them.
    Block Results() const {
        Block figures = Fields(text_.resultsHeading, text_.results);
        const QFont verdictFont = Font(kVerdictSize, true);
        const QStringList verdict = Wrap(Q(text_.verdict), verdictFont, &device_, width_, kFieldLines);
        const double verdictTop = figures.height + units_.Pt(kHeadingGap);
        const QColor colour(text_.accepted ? kAcceptedColour : kRefusedColour);
        return {verdictTop + verdict.size() * LineHeight(verdictFont), [=, this](QPainter& painter, double top) {
                    figures.paint(painter, top);
                    painter.setPen(colour);
                    DrawLines(painter, verdict, verdictFont, 0, top + verdictTop, width_);
                }};
    }

    // One reason or remark of the verdict, as an item of a list.
    Block Problem(const std::string& problem) const {
        const QFont font = Font(kTextSize);
        const QString bullet = QStringLiteral("– ");
        const double indent = QFontMetricsF(font, &device_).horizontalAdvance(bullet);
        const QStringList lines = Wrap(Printable(problem), font, &device_, width_ - indent, kProblemLines);
        return {lines.size() * LineHeight(font), [=, this](QPainter& painter, double top) {
                    painter.setPen(Qt::black);
                    DrawLines(painter, {bullet}, font, 0, top, indent);
                    DrawLines(painter, lines, font, indent, top, width_ - indent);
                }};
    }

    // The main dialog's chart, drawn by the chart layers through a surface over this painter.
    // It is laid out in pixels of the screen's resolution, as on screen, and scaled to its size
    // on paper.
    Block Chart() const {
        // Named copies, not a structured binding: the lambdas below capture them (clang 14 cannot).
        const auto headingBlock = Heading(text_.chartHeading);
        const double headingHeight = headingBlock.first;
        const auto paintHeading = headingBlock.second;
        const double height = units_.Mm(kChartHeight);
        return {headingHeight + height, [=, this](QPainter& painter, double top) {
                    paintHeading(painter, top);
                    const int chartDpi = platform::ScreenDpiY();
                    const double scale = static_cast<double>(units_.Dpi()) / chartDpi;
                    const int chartWidth = static_cast<int>(width_ / scale);
                    const int chartHeight = static_cast<int>(height / scale);
                    CAutoChart chart;
                    ConfigureCalibrationChart(chart);
                    chart.buffered = false;  // straight onto the page: vector lines and real text
                    chart.GetSeries(kCalibrationLineSeries)
                        .SetData(protocol_.lineX.data(), protocol_.lineY.data(),
                                 static_cast<int>(std::min(protocol_.lineX.size(), protocol_.lineY.size())));
                    chart.GetSeries(kCalibrationPointSeries)
                        .SetData(protocol_.pointsX.data(), protocol_.pointsY.data(),
                                 static_cast<int>(std::min(protocol_.pointsX.size(), protocol_.pointsY.size())));
                    painter.save();
                    painter.translate(0, top + headingHeight);
                    painter.scale(scale, scale);
                    painter.setClipRect(QRect(0, 0, chartWidth, chartHeight));
                    {
                        platform::Surface surface(painter);
                        chart.Draw(surface, {0, 0, chartWidth, chartHeight});
                    }
                    painter.restore();
                }};
    }

    // A line per signature: its name, then lines for the signature, the name and the date with
    // their captions under them.
    Block Signatures() const {
        const QFont font = Font(kTextSize, true);
        const QFont captionFont = Font(kCaptionSize);
        const QFontMetricsF metrics(font, &device_);
        double labelWidth = 0;
        for (const std::string& label : text_.signatures) labelWidth = std::max(labelWidth, metrics.horizontalAdvance(Q(label)));
        const double rowHeight = units_.Pt(kSignatureRowHeight);
        const double height = text_.signatures.size() * rowHeight;
        return {height, [=, this](QPainter& painter, double top) {
                    const double gap = units_.Pt(kFieldGap);
                    double y = top;
                    for (const std::string& label : text_.signatures) {
                        // The line sits a little above the row's foot, its caption below it.
                        const double lineY = y + rowHeight - LineHeight(captionFont) - units_.Pt(kHeadingGap);
                        painter.setPen(Qt::black);
                        DrawLines(painter, {Q(label)}, font, 0, lineY - metrics.ascent(), labelWidth);
                        double x = labelWidth + gap;
                        for (std::size_t i = 0; i < std::size(kSignatureWidths); ++i) {
                            const double w = std::min(units_.Mm(kSignatureWidths[i]), width_ - x);
                            if (w <= 0) break;
                            painter.setPen(QPen(Qt::black, units_.Pt(kRule)));
                            painter.drawLine(QPointF(x, lineY), QPointF(x + w, lineY));
                            if (i < text_.signatureCaptions.size()) {
                                painter.setPen(Qt::black);
                                DrawLines(painter, {Q(text_.signatureCaptions[i])}, captionFont, x, lineY + units_.Pt(1), w,
                                          Qt::AlignHCenter);
                            }
                            x += w + gap;
                        }
                        y += rowHeight;
                    }
                }};
    }

    QPaintDevice& device_;
    Units units_;
    double width_;
    const core::Protocol& protocol_;
    ProtocolText text_;
};

}  // namespace

void SetUpProtocolPage(QPagedPaintDevice& device) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(kMarginLeft, kMarginTop, kMarginRight, kMarginBottom),
                                     QPageLayout::Millimeter));
}

int PaintProtocol(QPainter& painter, QPagedPaintDevice& device, const core::Protocol& protocol) {
    ProtocolLayout layout(device, protocol);
    const std::vector<Block> blocks = layout.Blocks();
    const double pageHeight = device.height();
    const double room = pageHeight - layout.FooterHeight();
    const double gap = Units(device).Pt(kBlockGap);

    // First pass: which page each block goes on, and where.
    std::vector<report::BlockExtent> extents;
    for (const Block& block : blocks) extents.push_back({block.height, block.gapAfter});
    const report::Pagination pagination = report::PlaceOnPages(extents, room, gap);
    const std::vector<report::PagePlace>& places = pagination.places;
    const int pages = pagination.pages;

    // Second pass: paint, knowing how many pages there are.
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    for (int p = 1; p <= pages; ++p) {
        if (p > 1) device.newPage();
        for (std::size_t i = 0; i < blocks.size(); ++i)
            if (places[i].page == p) blocks[i].paint(painter, places[i].top);
        layout.PaintFooter(painter, p, pages, pageHeight);
    }
    return pages;
}
