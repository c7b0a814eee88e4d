#include "core/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

namespace {

struct Case {
    const char* text;
    std::optional<double> value;
};

TEST(NumberText, ReadsWhatAPersonTypes) {
    const Case cases[] = {
        {"0", 0.0},          {"0.5", 0.5},       {"0,5", 0.5},     {".5", 0.5},
        {",5", 0.5},         {"5.", 5.0},        {"-5", -5.0},     {"+2.5", 2.5},
        {" \t12.25 ", 12.25}, {"1e3", 1000.0},   {"2,5E-1", 0.25}, {"-0", -0.0},
        {"1e-400", 0.0},     {"95.6", 95.6},
    };
    for (const Case& c : cases) {
        const std::optional<double> got = core::ParseNumber(c.text);
        ASSERT_TRUE(got.has_value()) << c.text;
        EXPECT_EQ(*got, *c.value) << c.text;
    }
    const std::optional<double> negativeZero = core::ParseNumber("-0");
    ASSERT_TRUE(negativeZero.has_value());
    EXPECT_TRUE(std::signbit(*negativeZero));
}

TEST(NumberText, RefusesWhatIsNoFiniteNumber) {
    for (const char* text : {"", " ", "-", "+", ".", ",", "-.", "e5", "1e", "1e+", "0,5,", "1.2.3", "1,2.3",
                             "x", "5x", "inf", "-inf", "nan", "NaN", "infinity", "0x10", "1e400", "-1e400",
                             "1 000", "1_000", "--1", "+-1", "1e5.5", "\n1", "1\n"})
        EXPECT_FALSE(core::ParseNumber(text).has_value()) << '"' << text << '"';
}

// The figures as every part of the program writes them.
TEST(NumberText, WritesEachKindOfFigure) {
    const double nan = std::nan("");
    const double inf = INFINITY;
    struct Written {
        std::string got, expected;
    };
    const Written cases[] = {
        {core::SignificantText(0.012345678, 6), "0.0123457"},
        {core::SignificantText(3.650742424242424e-06, 6), "3.65074e-06"},
        {core::SignificantText(1500, 4), "1500"},
        {core::SignificantText(nan, 6), "nan"},
        {core::FigureText(0.5, 6), "0.5"},
        {core::FigureText(nan, 6), "—"},
        {core::FigureText(-inf, 6), "—"},
        {core::DeviationText(0.8455), "+0.85"},
        {core::DeviationText(-0.7399), "-0.74"},
        {core::DeviationText(0.001), "0.00"},  // a tiny deviation has no sign on either side
        {core::DeviationText(-0.001), "0.00"},
        {core::DeviationText(0), "0.00"},
        {core::DeviationText(nan), "—"},
        {core::ShortestText(0.1), "0.1"},
        {core::ShortestText(1e100), "1e+100"},
        {core::ShortestText(0.1f), "0.1"},
        {core::ShortestText(-inf), "-inf"},
    };
    for (const Written& c : cases) EXPECT_EQ(c.got, c.expected);
}

}  // namespace
