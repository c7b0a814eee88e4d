#include "platform/MulDiv.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct MulDivCase {
    int a, b, c, expected;
};

TEST(MulDiv, RoundsHalvesAwayFromZeroAndReportsFailureAsMinusOne) {
    const MulDivCase cases[] = {
        {3, 1, 2, 2},     {-3, 1, 2, -2},   {3, -1, 2, -2}, {-3, -1, 2, 2},  {5, 1, 4, 1},
        {7, 1, 4, 2},     {-7, 1, 4, -2},   {1, 1, 3, 0},   {2, 1, 3, 1},    {0, 5, 7, 0},
        {10, 10, 0, -1},  // division by zero
        {INT_MAX, 2, 1, -1},  // does not fit in 32 bits
        {INT_MAX, INT_MAX, INT_MAX, INT_MAX},  // the intermediate needs 64 bits
        {INT_MIN, 1, 1, INT_MIN},
        {INT_MIN, -1, 1, -1},  // -INT_MIN does not fit
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::MulDiv(c.a, c.b, c.c), c.expected) << c.a << " * " << c.b << " / " << c.c;
}

}  // namespace
