#pragma once

#include <optional>
#include <string>
#include <string_view>

// The one reader of numbers typed by a person, shared by the main dialog's fields and the
// options of ostrel-cli, so that both take exactly the same texts; and the one set of writers of
// the figures the program shows, prints and writes (the dialog, the protocol and its table, the
// method write's messages, the problems of the verdict, ostrel-cli's JSON). Every writer puts a
// point before the decimals, whatever the process's locale.
namespace core {

// A whole text read as a finite decimal number: blanks (spaces, tabs), an optional sign, digits
// with at most one decimal separator, which may be a point or a comma ("0,5" is 0.5, as Russian
// operators type it), at least one digit, an optional exponent (e or E, optional sign, digits),
// blanks. Nothing else: no "inf", "nan", hexadecimal numbers, digit grouping or empty text.
// A number too large for a double is not a number; one too small to tell from zero reads as 0.
// The result is the double nearest to the decimal value, whatever the process's locale.
std::optional<double> ParseNumber(std::string_view text);

// What a text for a person shows for a figure that does not exist (not a number, or infinite).
inline constexpr const char* kNoFigure = "—";

// printf's "%.*g" with `significant` significant digits ("0.0123457", "3.65074e-06"; "nan",
// "inf" and "-inf" as printf writes them).
std::string SignificantText(double value, int significant);

// A figure of the dialog or the protocol: SignificantText, or kNoFigure when it is not finite.
std::string FigureText(double value, int significant);

// A deviation in percent: two decimals and a plus sign above 0 ("+0.85", "-0.74"); one that
// rounds to zero is "0.00" from either side, and one that is not finite is kNoFigure.
std::string DeviationText(double value);

// The shortest text that reads back as the same value ("0.1", "1e+100"; "nan", "inf", "-inf"
// for those): every digit a file or another program needs.
std::string ShortestText(double value);
std::string ShortestText(float value);

}  // namespace core
