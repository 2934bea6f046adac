// Expected cells for the reader tests, written as a table per workbook.
#pragma once

#include "platform/spreadsheet/cells.h"

#include <QString>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace xltest {

struct Expect {
    const char* ref;  // "B3"
    xl::CellKind kind;
    double number = 0;
    const char16_t* text = u"";
};

inline std::pair<int, int> parseRef(const char* ref) {
    int col = 0, row = 0;
    const char* p = ref;
    for (; *p >= 'A' && *p <= 'Z'; ++p) col = col * 26 + (*p - 'A' + 1);
    for (; *p != '\0'; ++p) row = row * 10 + (*p - '0');
    return {row, col};
}

inline void expectCells(const xl::SheetData& sheet, std::initializer_list<Expect> cells) {
    for (const Expect& e : cells) {
        SCOPED_TRACE(e.ref);
        const auto [row, col] = parseRef(e.ref);
        const std::optional<xl::Cell> c = sheet.find(row, col);
        if (e.kind == xl::CellKind::Empty) {
            EXPECT_FALSE(c);
            continue;
        }
        ASSERT_TRUE(c);
        EXPECT_EQ(c->kind, e.kind);
        if (e.kind == xl::CellKind::Text || e.kind == xl::CellKind::Error)
            EXPECT_EQ(c->text, QString::fromUtf16(e.text));
        else
            EXPECT_NEAR(c->number, e.number, 1e-9 * std::max(1.0, std::fabs(e.number)));
    }
}

}  // namespace xltest
