#include "cli/Json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(Json, WritesShortestRoundTripNumbersAndSpecialValues) {
    EXPECT_EQ(cli::JsonDouble(0.1), "0.1");
    EXPECT_EQ(cli::JsonDouble(3.25), "3.25");
    EXPECT_EQ(cli::JsonDouble(1e300), "1e+300");
    EXPECT_EQ(cli::JsonDouble(-0.0), "-0");
    EXPECT_EQ(cli::JsonDouble(std::nan("")), "\"NaN\"");
    EXPECT_EQ(cli::JsonDouble(std::numeric_limits<double>::infinity()), "\"Infinity\"");
    EXPECT_EQ(cli::JsonDouble(-std::numeric_limits<double>::infinity()), "\"-Infinity\"");
    EXPECT_EQ(cli::JsonFloat(0.1f), "0.1");
    EXPECT_EQ(cli::JsonFloat(0.215f), "0.215");
}

TEST(Json, QuotesTextsAndReplacesInvalidUtf8) {
    EXPECT_EQ(cli::JsonQuote("этанол \"x\"\\\n\x01"), "\"этанол \\\"x\\\"\\\\\\n\\u0001\"");
    EXPECT_EQ(cli::JsonQuote("a\xFF" "b"), "\"a\xEF\xBF\xBD" "b\"");
    EXPECT_EQ(cli::JsonQuote("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");  // a surrogate
}

TEST(Json, NestsWithCommasInTheRightPlaces) {
    cli::JsonWriter w;
    w.BeginArray().BeginObject().Field("ok", true).Key("peaks").BeginArray().Int(1).Int(2).EndArray()
        .EndObject().BeginObject().EndObject().EndArray();
    EXPECT_EQ(w.Text(), "[{\"ok\": true, \"peaks\": [1, 2]}, {}]");
}

}  // namespace
