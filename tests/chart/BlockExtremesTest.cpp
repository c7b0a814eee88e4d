// The block index must give the extremes and positions a plain scan gives, for ranges that
// start and end inside blocks, span many, or lie in one, with values that are not finite.
#include "chart/BlockExtremes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

BlockExtremes::Range Scanned(const std::vector<float>& y, std::size_t first, std::size_t last) {
    BlockExtremes::Range r{kInf, -kInf, false};
    for (std::size_t i = first; i <= last; ++i) {
        if (!std::isfinite(y[i])) {
            r.notFinite = true;
            continue;
        }
        r.lowest = std::min(r.lowest, y[i]);
        r.highest = std::max(r.highest, y[i]);
    }
    return r;
}

TEST(BlockExtremes, AgreesWithAScanOnEveryKindOfRange) {
    struct Case {
        std::size_t count;
        int notFinite;  // values made not finite, spread at random
    };
    for (const Case c : {Case{1, 0}, Case{17, 0}, Case{64, 1}, Case{65, 0}, Case{1000, 0}, Case{5000, 40},
                         Case{20'000, 3}}) {
        std::mt19937 random(static_cast<unsigned>(c.count));
        std::normal_distribution<float> value(0, 100);
        std::vector<float> y(c.count);
        for (float& v : y) v = std::round(value(random));  // rounded: equal values are common
        std::uniform_int_distribution<std::size_t> anywhere(0, c.count - 1);
        for (int k = 0; k < c.notFinite; ++k) y[anywhere(random)] = k % 3 == 0 ? kNaN : k % 3 == 1 ? kInf : -kInf;
        const BlockExtremes blocks(y.data(), y.size());
        for (int trial = 0; trial < 300; ++trial) {
            std::size_t first = anywhere(random), last = anywhere(random);
            if (first > last) std::swap(first, last);
            if (trial == 0) first = 0, last = c.count - 1;
            const BlockExtremes::Range expected = Scanned(y, first, last), got = blocks.Extremes(first, last);
            ASSERT_EQ(got.notFinite, expected.notFinite) << c.count << ": " << first << ".." << last;
            ASSERT_EQ(got.lowest > got.highest, expected.lowest > expected.highest);
            if (expected.lowest > expected.highest) continue;
            ASSERT_EQ(got.lowest, expected.lowest) << c.count << ": " << first << ".." << last;
            ASSERT_EQ(got.highest, expected.highest) << c.count << ": " << first << ".." << last;
            for (const float v : {expected.lowest, expected.highest, y[last], 12345.0f}) {
                if (!std::isfinite(v)) continue;
                std::size_t at = first;
                while (at <= last && y[at] != v) ++at;
                ASSERT_EQ(blocks.Find(v, first, last), at) << v << " in " << first << ".." << last;
            }
        }
    }
}

TEST(BlockExtremes, RangeWithoutFiniteValuesHasNoExtremes) {
    const std::vector<float> y(200, kNaN);
    const BlockExtremes blocks(y.data(), y.size());
    const BlockExtremes::Range r = blocks.Extremes(10, 150);
    EXPECT_GT(r.lowest, r.highest);
    EXPECT_TRUE(r.notFinite);
    EXPECT_EQ(blocks.Find(1.0f, 0, 199), 200u);
}

}  // namespace
