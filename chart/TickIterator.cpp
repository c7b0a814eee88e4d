#include "chart/TickIterator.h"

#include <cmath>
#include <cstdio>
#include <cstring>

std::string FormatTickLabel(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", value == 0 ? 0.0 : value);
    std::string label = text;
    const std::size_t e = label.find('e');
    if (e != std::string::npos) {
        const std::size_t digits = e + 2;  // after the exponent's sign
        const std::size_t count = label.size() - digits;
        if (count < 3) label.insert(digits, 3 - count, '0');
    }
    return label;
}

CTickIterator::CTickIterator(double first, double lastTick, double tickStep)
    : value(first), last(lastTick), step(tickStep), quantum(std::pow(10.0, std::floor(std::log10(tickStep)) - 3)) {}

const std::string& CTickIterator::Label() {
    label = FormatTickLabel(value);
    return label;
}

void CTickIterator::Next() {
    // round(t) is ceil(t - 0.5): an exact half goes down. Adding 0.0 turns -0 into 0.
    const double next = std::ceil((value + step) / quantum - 0.5) * quantum + 0.0;
    if (!(next > value)) {
        stalled_ = true;
        return;
    }
    value = next;
}
