#include "platform/spreadsheet/cells.h"

#include <gtest/gtest.h>

namespace {

xl::Cell number(double v) { return xl::Cell{xl::CellKind::Number, v, {}}; }

double at(const xl::SheetData& s, int row, int col) {
    const std::optional<xl::Cell> c = s.find(row, col);
    return c ? c->number : -1;
}

TEST(SheetData, InOrderOutOfOrderAndOverwrites) {
    xl::SheetData s;
    s.set(2, 3, number(23));
    s.set(2, 5, number(25));
    s.set(7, 1, number(71));   // rows 3-6 left empty
    s.set(2, 4, number(24));   // between two cells of an earlier row
    s.set(2, 5, number(250));  // overwrite an in-order cell
    s.set(1, 1, number(11));   // a row before every other
    s.set(1, 1, number(110));  // overwrite an out-of-order cell
    s.set(7, 2, number(72));   // back in order
    s.set(7, 1, number(710));  // overwrite the row's first cell
    s.finish();
    EXPECT_EQ(at(s, 2, 3), 23);
    EXPECT_EQ(at(s, 2, 4), 24);
    EXPECT_EQ(at(s, 2, 5), 250);
    EXPECT_EQ(at(s, 1, 1), 110);
    EXPECT_EQ(at(s, 7, 1), 710);
    EXPECT_EQ(at(s, 7, 2), 72);
    for (auto [row, col] : {std::pair{2, 1}, {2, 6}, {3, 1}, {6, 1}, {7, 3}, {8, 1}, {0, 0}, {-1, 5}, {1, 2}}) {
        SCOPED_TRACE(testing::Message() << row << "," << col);
        EXPECT_FALSE(s.find(row, col));
    }
    EXPECT_EQ(s.rowCount(), 7);
}

TEST(SheetData, RefusesPositionsOffTheGrid) {
    xl::SheetData s;
    for (auto [row, col] : {std::pair{0, 1}, {1, 0}, {xl::kMaxRows + 1, 1}, {1, xl::kMaxColumns + 1}}) {
        SCOPED_TRACE(testing::Message() << row << "," << col);
        EXPECT_THROW(s.set(row, col, number(1)), xl::ReadError);
    }
    s.set(xl::kMaxRows, xl::kMaxColumns, number(9));
    s.finish();
    EXPECT_EQ(at(s, xl::kMaxRows, xl::kMaxColumns), 9);
    EXPECT_EQ(xl::SheetData().rowCount(), 0);
}

}  // namespace
