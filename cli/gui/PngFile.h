#pragma once

#include <QImage>

#include <optional>
#include <string>

namespace cli {

// Writes `image` as the PNG file `path`, whole or not at all (core/FileReplace.h). Nothing when
// written; otherwise why not: "no picture" for a null image, or the system's reason after the
// path ("…: No such file or directory").
std::optional<std::string> WritePngFile(const std::string& path, const QImage& image);

}  // namespace cli
