// The cells of a workbook's first worksheet, as the readers hand them over.
//
// Each reader (xlsx, xls) parses a file into a WorkbookData: the tab list and
// the cells of the first worksheet in tab order. The automation stand-in
// serves Cells(row, column) from it. Rows and columns count from 1, within
// XFD1048576 (16384 columns, 1048576 rows).
#pragma once

#include "platform/runtime/exception.h"
#include "platform/spreadsheet/huge_page_allocator.h"

#include <QString>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace xl {

constexpr std::int32_t kMaxRows = 1048576;
constexpr std::int32_t kMaxColumns = 16384;

enum class CellKind : std::uint8_t { Empty, Number, Text, Boolean, DateTime, Error };

struct Cell {
    CellKind kind = CellKind::Empty;
    // Number; Boolean (0 or 1); DateTime as a day number from 30 December 1899
    // with the time as fraction, the workbook's date system already applied.
    double number = 0;
    // Text; Error ("#DIV/0!", "#N/A", ...).
    QString text;
};

// A sparse grid of cells, cheap to fill row by row in order and to read by
// position. Cells set twice keep the last value.
//
// Cells delivered in reading order (rows ascending, columns ascending within
// a row), as every reader delivers them, go into one flat array with a start
// index per row: no allocation per row, and a lookup is a binary search
// within one row. A cell set out of that order goes to a small side map.
class SheetData {
public:
    // Requires 1 <= row <= kMaxRows, 1 <= column <= kMaxColumns (throws ReadError otherwise).
    void set(std::int32_t row, std::int32_t column, Cell cell);
    // The cell at (row, column), or nullptr when none was set. Any position is allowed.
    const Cell* find(std::int32_t row, std::int32_t column) const;
    // Makes room for `cells` cells delivered in reading order (a hint only).
    void reserve(std::size_t cells) { cells_.reserve(cells); }
    // The highest row holding a cell (0 when none).
    std::int32_t rowCount() const;

private:
    struct Entry {
        std::int32_t column;
        Cell cell;
    };
    Entry* findInOrder(std::int32_t row, std::int32_t column);
    const Entry* findInOrder(std::int32_t row, std::int32_t column) const;

    std::vector<Entry, HugePageAllocator<Entry>> cells_;  // in reading order
    std::vector<std::uint32_t> rowBegin_;  // rowBegin_[r - 1]: first index of row r in cells_
    std::int32_t lastRow_ = 0;             // rows 1..lastRow_ are indexed
    std::map<std::pair<std::int32_t, std::int32_t>, Cell> outOfOrder_;
    std::int32_t outOfOrderMaxRow_ = 0;
};

struct SheetInfo {
    QString name;
    bool isWorksheet = true;  // false for chart sheets, macro sheets, dialogs
};

struct WorkbookData {
    std::vector<SheetInfo> sheets;  // in tab order
    SheetData firstWorksheet;       // cells of the first worksheet in tab order
};

// Any reason a file cannot be read, with a message in Spanish for the user
// that names the file and says what is wrong with it.
class ReadError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

}  // namespace xl
