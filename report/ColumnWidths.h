#pragma once

#include <optional>
#include <vector>

// How the columns of the protocol's level table share the width of the page. Pure arithmetic
// over widths already measured (any one unit, padding included); no Qt.
namespace report {

struct ColumnNeed {
    double minimum = 0;  // the narrowest the column may be
    double natural = 0;  // what its widest line asks for; at least `minimum`
    bool wraps = false;  // its texts may wrap onto further lines (the others have minimum == natural)
};

// The widths of `columns` within `width`. Every column gets its minimum; the room left goes to
// the wrapping columns, first up to their natural widths in proportion to what each lacks, then
// what remains in proportion to those natural widths. Nothing when the minimums exceed `width`,
// or, with `unwrapped`, when the natural widths do.
std::optional<std::vector<double>> SolveColumnWidths(const std::vector<ColumnNeed>& columns, double width, bool unwrapped);

}  // namespace report
