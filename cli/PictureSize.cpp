#include "cli/PictureSize.h"

namespace cli {

namespace {

std::optional<int> Side(const std::string& digits) {
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int side = std::stoi(digits);
    if (side < 1 || side > kPictureSideMax) return std::nullopt;
    return side;
}

}  // namespace

std::optional<PictureSize> ParsePictureSize(const std::string& text) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos) return std::nullopt;
    const std::optional<int> w = Side(text.substr(0, x));
    const std::optional<int> h = Side(text.substr(x + 1));
    if (!w || !h) return std::nullopt;
    return PictureSize{*w, *h};
}

std::string PictureSizeError(const std::string& text) {
    return "expected --size WxH with sides from 1 to " + std::to_string(kPictureSideMax) + ": '" + text + "'";
}

}  // namespace cli
