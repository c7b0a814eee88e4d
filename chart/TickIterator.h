#pragma once

#include <string>

// "%.10g" as the chart writes tick labels: the exponent has at least three digits (5e-007),
// and zero never carries a sign.
std::string FormatTickLabel(double value);

// Walks the ticks of one axis from the first to the last. Every tick after the first is
// snapped to `quantum`, a thousandth of the step's decade, so that accumulated steps print
// without floating-point residue. A first tick or step that is not a number yields no tick.
class CTickIterator {
public:
    double value;  // the current tick
    double last;
    double step;
    double quantum;
    std::string label;  // text of the current tick, rebuilt by Label()

    CTickIterator(double first, double lastTick, double tickStep);

    bool HasMore() const { return !stalled_ && last + step / 2 > value; }
    double Value() const { return value; }
    const std::string& Label();
    void Next();

private:
    // Set when a step no longer moves the tick (a step below the precision of the values):
    // the walk ends there instead of repeating one tick forever.
    bool stalled_ = false;
};
