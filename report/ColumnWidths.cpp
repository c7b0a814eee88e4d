#include "report/ColumnWidths.h"

#include <algorithm>

namespace report {

std::optional<std::vector<double>> SolveColumnWidths(const std::vector<ColumnNeed>& columns, double width, bool unwrapped) {
    const std::size_t n = columns.size();
    double fixedWidth = 0;
    double naturalWidth = 0;
    for (const ColumnNeed& column : columns) {
        fixedWidth += column.minimum;
        naturalWidth += column.natural;
    }
    if (fixedWidth > width) return std::nullopt;
    if (unwrapped && naturalWidth > width) return std::nullopt;
    std::vector<double> widths(n);
    for (std::size_t c = 0; c < n; ++c) widths[c] = columns[c].minimum;
    double spare = width - fixedWidth;
    double lacking = 0;
    for (const ColumnNeed& column : columns) lacking += column.natural - column.minimum;
    const double share = lacking > 0 ? std::min(1.0, spare / lacking) : 0;
    for (std::size_t c = 0; c < n; ++c) widths[c] += (columns[c].natural - columns[c].minimum) * share;
    spare -= lacking * share;
    double wrappingNatural = 0;
    for (const ColumnNeed& column : columns)
        if (column.wraps) wrappingNatural += column.natural;
    for (std::size_t c = 0; c < n; ++c)
        if (columns[c].wraps && wrappingNatural > 0) widths[c] += spare * columns[c].natural / wrappingNatural;
    return widths;
}

}  // namespace report
