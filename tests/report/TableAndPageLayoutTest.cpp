#include "report/ColumnWidths.h"
#include "report/Pagination.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using report::ColumnNeed;

// A fixed column of 10, and two wrapping columns lacking 40 and 20 of their natural widths.
const std::vector<ColumnNeed> kColumns = {{10, 10, false}, {20, 60, true}, {10, 30, true}};

TEST(SolveColumnWidths, SharesTheRoomAsTheLayoutRuleSays) {
    struct Case {
        const char* what;
        std::vector<ColumnNeed> columns;
        double width;
        bool unwrapped;
        std::optional<std::vector<double>> widths;
    };
    const Case cases[] = {
        {"minimums too wide", kColumns, 39, false, std::nullopt},
        {"minimums exactly fill", kColumns, 40, false, std::vector<double>{10, 20, 10}},
        {"short of the natural widths: 2/3 of what each lacks", kColumns, 80, false, std::vector<double>{10, 20 + 80.0 / 3, 10 + 40.0 / 3}},
        {"names on one line asked for, not room enough", kColumns, 99, true, std::nullopt},
        {"natural widths, then the rest by natural width", kColumns, 140, true, std::vector<double>{10, 60 + 80.0 / 3, 30 + 40.0 / 3}},
        {"no wrapping column keeps its minimum", {{10, 10, false}, {25, 25, false}}, 100, false, std::vector<double>{10, 25}},
    };
    for (const Case& c : cases) {
        const auto widths = report::SolveColumnWidths(c.columns, c.width, c.unwrapped);
        ASSERT_EQ(widths.has_value(), c.widths.has_value()) << c.what;
        if (!widths) continue;
        ASSERT_EQ(widths->size(), c.widths->size()) << c.what;
        for (std::size_t k = 0; k < widths->size(); ++k) EXPECT_DOUBLE_EQ((*widths)[k], (*c.widths)[k]) << c.what << ", column " << k;
    }
}

TEST(PlaceOnPages, MovesWholeBlocksToTheNextPageAndKeepsATallOneWhereItStarts) {
    // Room 100, gap 5: the second block ends exactly at the foot of the room and stays; the
    // third moves on; the fourth is taller than a page and stays first on the next one.
    const report::Pagination p =
        report::PlaceOnPages({{50, true}, {45, false}, {40, true}, {200, true}, {10, true}}, 100, 5);
    ASSERT_EQ(p.places.size(), 5u);
    const std::vector<std::pair<int, double>> expected = {{1, 0}, {1, 55}, {2, 0}, {3, 0}, {4, 0}};
    for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(p.places[k].page, expected[k].first) << "block " << k;
        EXPECT_DOUBLE_EQ(p.places[k].top, expected[k].second) << "block " << k;
    }
    EXPECT_EQ(p.pages, 4);
    EXPECT_EQ(report::PlaceOnPages({}, 100, 5).pages, 1);
}

}  // namespace
