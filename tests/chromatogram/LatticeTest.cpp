#include "chromatogram/Lattice.h"
#include "TestDoubles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using chromatogram::Interpolate;
using chromatogram::Lattice;

TEST(Interpolate, IsTheLineThroughTwoPointsAndTheFirstValueWhenTheyShareX) {
    EXPECT_EQ(Interpolate(2, 0, 4, 1, 3), 2.0);
    EXPECT_EQ(Interpolate(-4, 0, 4, 1, 3), -1.0);
    EXPECT_EQ(Interpolate(7, 5, 5, 1, 3), 1.0);
}

TEST(Lattice, ValueAtInterpolatesInsideAndExtendsTheEndLinesOutside) {
    const Lattice signal = MakeSignal({1.0f, 3.0f});
    EXPECT_EQ(signal.ValueAt(0.25), 1.5);
    EXPECT_EQ(signal.ValueAt(-1), -1.0);
    EXPECT_EQ(signal.ValueAt(2.5), 6.0);
    EXPECT_EQ(signal.ValueAt(signal.TimeAt(1)), 3.0);

    const Lattice shifted = MakeSignal({0, 1, 3, 1, 0}, 10, 0.5);
    EXPECT_EQ(shifted.TimeAt(4), 12.0);
    EXPECT_EQ(shifted.TimeAt(-2), 9.0);
    EXPECT_EQ(shifted.ValueAt(11.0), 3.0);     // exactly on sample 2
    EXPECT_EQ(shifted.ValueAt(11.25), 2.0);    // between samples 2 and 3
    EXPECT_EQ(shifted.ValueAt(12.0), 0.0);     // the last sample
    EXPECT_EQ(shifted.ValueAt(13.0), -2.0);    // the line through the last two samples
    EXPECT_EQ(shifted.ValueAt(9.0), -2.0);     // the line through the first two samples
}

TEST(Lattice, ValueAtWithFewerThanTwoSamplesIsFlat) {
    EXPECT_EQ(MakeSignal({}).ValueAt(3), 0.0);
    EXPECT_EQ(MakeSignal({2.5f}).ValueAt(-100), 2.5);
    EXPECT_EQ(MakeSignal({2.5f}).ValueAt(100), 2.5);
}

TEST(Lattice, ValueAtStaysSoundForTimesFarAwayAndDegenerateSteps) {
    // Times whose sample index does not fit an integer still take the nearer end's line.
    const Lattice signal = MakeSignal({0, 1, 3, 1, 0});
    EXPECT_EQ(signal.ValueAt(1e300), -1e300);
    EXPECT_EQ(signal.ValueAt(-1e300), -1e300);
    EXPECT_TRUE(std::isnan(signal.ValueAt(std::numeric_limits<double>::quiet_NaN())));
    // With a zero step every sample has the same time: the value is the first sample.
    const Lattice flat = MakeSignal({4, 5, 6}, 2, 0);
    EXPECT_EQ(flat.ValueAt(2), 4.0);
    EXPECT_EQ(flat.ValueAt(-7), 4.0);
    EXPECT_EQ(flat.ValueAt(7), 5.0);
}
