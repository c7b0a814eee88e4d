#pragma once

namespace platform {

// a * b / c with a 64-bit intermediate, rounded to the nearest integer with halves away from
// zero; -1 when c is 0 or the result does not fit in 32 bits (the Windows MulDiv contract,
// which the chart's clipping and the dialog layout rely on).
int MulDiv(int a, int b, int c);

}  // namespace platform
