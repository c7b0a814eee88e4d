#include "cli/gui/PngFile.h"

#include "core/FileReplace.h"

#include <QBuffer>
#include <QByteArray>

#include <string_view>

namespace cli {

std::optional<std::string> WritePngFile(const std::string& path, const QImage& image) {
    if (image.isNull()) return std::string("no picture of that size could be made");
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return std::string("the picture could not be encoded as PNG");
    return core::ReplaceFileContents(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace cli
