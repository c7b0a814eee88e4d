#pragma once

#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <optional>
#include <string>

// Argument parsing shared by ostrel-cli subcommands.
namespace cli {

// A whole argument read as a number the way strtod reads it in the C locale (point as decimal
// separator, whatever the environment's locale); nothing when any of it is not part of the number.
inline std::optional<double> ParseDouble(const std::string& text) {
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    if (text.empty() || !cLocale) return std::nullopt;
    char* end = nullptr;
    const double value = ::strtod_l(text.c_str(), &end, cLocale);
    if (end != text.c_str() + text.size()) return std::nullopt;
    return value;
}

}  // namespace cli
