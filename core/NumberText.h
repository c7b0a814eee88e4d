#pragma once

#include <optional>
#include <string>
#include <string_view>

// The one reader of numbers typed by a person, shared by the main dialog's fields and the
// options of ostrel-cli, so that both take exactly the same texts; and the one writer of numbers
// into the tables other programs read.
namespace core {

// A whole text read as a finite decimal number: blanks (spaces, tabs), an optional sign, digits
// with at most one decimal separator, which may be a point or a comma ("0,5" is 0.5, as Russian
// operators type it), at least one digit, an optional exponent (e or E, optional sign, digits),
// blanks. Nothing else: no "inf", "nan", hexadecimal numbers, digit grouping or empty text.
// A number too large for a double is not a number; one too small to tell from zero reads as 0.
// The result is the double nearest to the decimal value, whatever the process's locale.
std::optional<double> ParseNumber(std::string_view text);

// The shortest text with a point before the decimals that reads back as exactly `value`
// ("0.005", "3.6511e-05", "1e+300"), whatever the process's locale; "" for a value that is not
// finite (a figure that does not exist). The float overload reads back as the same float, so a
// single-precision sample is written with no digit more than it holds.
std::string ShortestText(double value);
std::string ShortestText(float value);

}  // namespace core
