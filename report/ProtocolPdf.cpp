#include "report/ProtocolPdf.h"

#include "core/FileReplace.h"
#include "report/ProtocolPainter.h"

#include <QBuffer>
#include <QByteArray>
#include <QPainter>
#include <QPdfWriter>

namespace {

// Coordinates in pixels of 96 per inch: the chart's one-pixel lines come out 0.75 pt wide.
constexpr int kResolution = 96;

}  // namespace

QByteArray ProtocolPdf(const core::Protocol& protocol) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kResolution);
        writer.setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);  // for the archive
        writer.setTitle(QString::fromStdString(core::DescribeProtocol(protocol).title +
                                               (protocol.methodTitle.empty() ? "" : " — " + protocol.methodTitle)));
        writer.setCreator(QString::fromStdString(protocol.programName + " " + protocol.programVersion));
        SetUpProtocolPage(writer);
        QPainter painter(&writer);
        PaintProtocol(painter, writer, protocol);
    }  // the painter ends the document before the writer goes
    return bytes;
}

std::optional<std::string> WriteProtocolPdf(const std::string& path, const core::Protocol& protocol) {
    const QByteArray pdf = ProtocolPdf(protocol);
    if (pdf.isEmpty()) return std::string("the PDF document could not be made");
    return core::ReplaceFileContents(path, std::string_view(pdf.constData(), static_cast<std::size_t>(pdf.size())));
}
