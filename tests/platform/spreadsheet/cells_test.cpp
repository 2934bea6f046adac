#include "platform/spreadsheet/cells.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

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
    // A text for a cell off the grid never reaches the pool.
    EXPECT_THROW(s.set(0, 1, xl::Cell{xl::CellKind::Text, 0, QStringLiteral("fuera")}), xl::ReadError);
    EXPECT_EQ(s.textCount(), 0u);
    s.set(xl::kMaxRows, xl::kMaxColumns, number(9));
    s.finish();
    EXPECT_EQ(at(s, xl::kMaxRows, xl::kMaxColumns), 9);
    EXPECT_EQ(xl::SheetData().rowCount(), 0);
}

// Rows bottom up (as some writers put them), texts from the pool and
// repeated cells: after finish() every cell is found, the last value holding.
TEST(SheetData, SortsCellsSetOutOfOrderAndKeepsTheLast) {
    xl::SheetData s;
    const xl::SheetData::TextId empty = s.addText(u"");
    const xl::SheetData::TextId guia = s.addText(u"125-1");
    for (int row = 1000; row >= 1; --row) {
        s.set(row, 3, number(row * 10 + 3));
        s.setText(row, 1, xl::CellKind::Text, row % 2 ? guia : empty);
    }
    s.set(500, 3, xl::Cell{xl::CellKind::Text, 0, QStringLiteral("nuevo")});
    s.set(500, 3, number(-1));  // the same cell twice in a row
    s.setText(7, 1, xl::CellKind::Error, s.addText(u"#N/A"));
    s.finish();
    EXPECT_EQ(s.rowCount(), 1000);
    for (int row = 1; row <= 1000; ++row) {
        SCOPED_TRACE(row);
        const auto a = s.find(row, 1);
        ASSERT_TRUE(a);
        EXPECT_EQ(a->kind, row == 7 ? xl::CellKind::Error : xl::CellKind::Text);
        EXPECT_EQ(a->text, row == 7 ? QStringLiteral("#N/A") : row % 2 ? QStringLiteral("125-1") : QString());
        EXPECT_EQ(at(s, row, 3), row == 500 ? -1 : row * 10 + 3);
        EXPECT_FALSE(s.find(row, 2));
    }
    EXPECT_EQ(s.textCount(), 4u);
}

// Cells and texts share one bound; past it the sheet refuses more, with a
// message for the readers to complete.
TEST(SheetData, RefusesCellsAndTextsPastItsBound) {
    xl::SheetData cells(1024);
    for (int col = 1; col <= 64; ++col) cells.set(1, col, number(col));  // 16 bytes each
    EXPECT_THROW(cells.set(2, 1, number(1)), xl::SheetTooLarge);
    xl::SheetData texts(1024);
    EXPECT_THROW(texts.addText(QString(600, u'x')), xl::SheetTooLarge);
    EXPECT_THROW(texts.checkTextRoom(600), xl::SheetTooLarge);
    texts.addText(QString(400, u'x'));
    try {
        texts.set(1, 1, xl::Cell{xl::CellKind::Text, 0, QString(200, u'y')});
        ADD_FAILURE() << "no refusal";
    } catch (const xl::SheetTooLarge& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("en memoria"))) << e.message().toStdString();
    }
}

// Only NUL and surrogates out of their pairs cannot be stored as written;
// every other character, controls and non-characters included, can.
TEST(SheetData, CharactersNoDatabaseStoresAsWritten) {
    const struct {
        std::u16string text;
        std::optional<char16_t> bad;
    } cases[] = {
        {u"125-12345675", std::nullopt}, {u"tab\tLF\nCR\r", std::nullopt}, {u"\U0001F600 ñ €", std::nullopt},
        {u"\uFFFD\uE000\uD7FF", std::nullopt}, {u"carta\x0Bsegunda l\u00EDnea", std::nullopt},
        {u"\x01\x07\x1F\x7F", std::nullopt}, {u"\uFFFE\uFFFF", std::nullopt}, {u"", std::nullopt},
        {std::u16string(u"a\0b", 3), u'\0'}, {u"x\xD800", 0xD800}, {u"\xDC00x", 0xDC00},
        {u"\xDE00\xD83D", 0xDE00}, {u"\xD83D\xD83D\xDE00", 0xD83D}, {u"\U0001F600\xDBFF", 0xDBFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromStdU16String(c.text).toStdString());
        EXPECT_EQ(xl::unstorableCharacter(c.text), c.bad);
    }
}

// A text past Excel's 32,767 units is kept only as its mark, whichever way it
// reaches the pool, and costs the bound nothing but the mark; one at the
// limit is kept whole.
TEST(SheetData, TextsLongerThanACellAreOnlyMarked) {
    const std::size_t max = xl::kMaxCellTextUnits;
    xl::SheetData s(2 * max + 4096);
    const QString atLimit(static_cast<qsizetype>(max), u'a');
    const QString past(static_cast<qsizetype>(max + 1), u'b');
    const auto writeUnits = [](std::size_t n) {
        return [n](char16_t* out) { return std::fill_n(out, n, u'c'); };
    };
    const xl::SheetData::TextId kept = s.addText(atLimit);
    const xl::SheetData::TextId viewed = s.addText(past);
    const xl::SheetData::TextId written = s.addText(max + 1, writeUnits(max + 1));
    const xl::SheetData::TextId marked = s.addTooLongText();
    const xl::SheetData::TextId after = s.addText(4, writeUnits(4));
    for (int i = 0; i < 20; ++i) s.addText(past);  // twenty more would not fit the bound if kept
    EXPECT_EQ(s.text(kept), atLimit);
    EXPECT_FALSE(s.isTooLong(kept));
    for (const auto id : {viewed, written, marked}) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(s.isTooLong(id));
        EXPECT_TRUE(s.text(id).isEmpty());
    }
    EXPECT_EQ(s.text(after), QStringLiteral("cccc")) << "the texts after a mark start where it would have";
    EXPECT_FALSE(s.isTooLong(after));

    s.setText(2, 2, xl::CellKind::Text, viewed);
    s.setText(2, 3, xl::CellKind::Error, marked);
    s.set(2, 4, xl::Cell{xl::CellKind::Text, 0, past});
    s.setText(2, 5, xl::CellKind::Text, kept);
    s.finish();
    for (int col = 2; col <= 4; ++col) {
        SCOPED_TRACE(col);
        const auto c = s.find(2, col);
        ASSERT_TRUE(c);
        EXPECT_TRUE(c->tooLong);
        EXPECT_TRUE(c->text.isEmpty());
    }
    EXPECT_EQ(s.find(2, 3)->kind, xl::CellKind::Error);
    EXPECT_FALSE(s.find(2, 5)->tooLong);
    EXPECT_EQ(s.find(2, 5)->text, atLimit);
}

// A writer that throws part-way leaves no units behind: the next text starts
// where the failed one would have, and the bound has room for it.
TEST(SheetData, AWriterThatThrowsLeavesThePoolAsItWas) {
    xl::SheetData s(1024);
    const xl::SheetData::TextId first = s.addText(u"uno");
    struct Falla {};
    for (int i = 0; i < 10; ++i) {
        EXPECT_THROW(s.addText(300, [](char16_t* out) -> char16_t* {
            std::fill_n(out, 300, u'x');
            throw Falla{};
        }),
                     Falla);
    }
    EXPECT_EQ(s.textCount(), 1u);
    const xl::SheetData::TextId second = s.addText(300, [](char16_t* out) { return std::fill_n(out, 2, u'z'); });
    EXPECT_EQ(s.text(first), QStringLiteral("uno"));
    EXPECT_EQ(s.text(second), QStringLiteral("zz"));
    // 3 + 2 units and two ends used: nearly the whole bound is still there.
    s.addText(QString(480, u'y'));
}

}  // namespace
