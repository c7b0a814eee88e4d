#include "core/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace core {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Checks the grammar and returns the text with a point for the separator and no leading plus,
// as std::from_chars reads it; nothing when the text is no number.
std::optional<std::string> Normalise(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') out.push_back('-');
        ++i;
    }
    int digits = 0;
    bool separator = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            ++digits;
            out.push_back(c);
        } else if ((c == '.' || c == ',') && !separator) {
            separator = true;
            out.push_back('.');
        } else {
            break;
        }
    }
    if (digits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        out.push_back('e');
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) out.push_back(text[i++]);
        int exponentDigits = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i, ++exponentDigits) out.push_back(text[i]);
        if (exponentDigits == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    return out;
}

}  // namespace

std::optional<double> ParseNumber(std::string_view text) {
    const std::optional<std::string> normal = Normalise(TrimBlanks(text));
    if (!normal) return std::nullopt;
    // The grammar is checked above; strtod in the C locale only converts (correctly rounded,
    // whatever the locale of the process), and tells overflow by an infinite result.
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    char* end = nullptr;
    const double value = ::strtod_l(normal->c_str(), &end, cLocale);
    if (end != normal->c_str() + normal->size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

namespace {

constexpr int kDeviationDecimals = 2;

template <typename... Format>
std::string ToChars(auto value, Format... format) {
    char buffer[64];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value, format...);
    return std::string(buffer, r.ptr);
}

}  // namespace

std::string SignificantText(double value, int significant) {
    return ToChars(value, std::chars_format::general, significant);
}

std::string FigureText(double value, int significant) {
    return std::isfinite(value) ? SignificantText(value, significant) : kNoFigure;
}

std::string DeviationText(double value) {
    if (!std::isfinite(value)) return kNoFigure;
    std::string text = ToChars(value, std::chars_format::fixed, kDeviationDecimals);
    if (text == "-0.00") text = "0.00";
    return value > 0 && text != "0.00" ? "+" + text : text;
}

std::string ShortestText(double value) { return ToChars(value); }
std::string ShortestText(float value) { return ToChars(value); }

}  // namespace core
