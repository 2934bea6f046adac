// The cells of a workbook's first worksheet, as the readers hand them over.
//
// Each reader (xlsx, xls) parses a file into a WorkbookData: the tab list and
// the cells of the first worksheet in tab order. The automation stand-in
// serves Cells(row, column) from it. Rows and columns count from 1, within
// XFD1048576 (16384 columns, 1048576 rows).
#pragma once

#include "platform/runtime/exception.h"

#include <QString>
#include <cstdint>
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
class SheetData {
public:
    // Requires 1 <= row <= kMaxRows, 1 <= column <= kMaxColumns (throws ReadError otherwise).
    void set(std::int32_t row, std::int32_t column, Cell cell);
    // The cell at (row, column), or nullptr when none was set. Any position is allowed.
    const Cell* find(std::int32_t row, std::int32_t column) const;
    std::int32_t rowCount() const { return static_cast<std::int32_t>(rows_.size()); }

private:
    struct Entry {
        std::int32_t column;
        Cell cell;
    };
    // rows_[r - 1] holds the cells of row r ordered by column.
    std::vector<std::vector<Entry>> rows_;
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
