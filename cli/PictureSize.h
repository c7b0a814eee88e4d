#pragma once

#include <optional>
#include <string>

// The value of --size WxH, as every command that draws a picture takes it.
namespace cli {

// A side of at most this many pixels keeps the image within a few hundred megabytes.
inline constexpr int kPictureSideMax = 8192;

struct PictureSize {
    int width = 0;
    int height = 0;
};

// "WxH", each side 1 to kPictureSideMax in decimal digits only ("560x300"); nothing otherwise.
std::optional<PictureSize> ParsePictureSize(const std::string& text);

// The usage error for a text ParsePictureSize refuses.
std::string PictureSizeError(const std::string& text);

}  // namespace cli
