// The cells of a workbook's first worksheet, as the readers hand them over.
//
// Each reader (xlsx, xls) parses a file into a WorkbookData: the tab list and
// the cells of the first worksheet in tab order. The automation stand-in
// serves Cells(row, column) from it. Rows and columns count from 1, within
// XFD1048576 (16384 columns, 1048576 rows).
#pragma once

#include "platform/runtime/exception.h"
#include "platform/spreadsheet/mapped_array.h"

#include <QString>
#include <QStringView>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace xl {

constexpr std::int32_t kMaxRows = 1048576;
constexpr std::int32_t kMaxColumns = 16384;

enum class CellKind : std::uint8_t { Empty, Number, Text, Boolean, DateTime, Error };

// The most UTF-16 units a cell's text holds in Excel. A longer text in a
// file is not kept, only marked as too long (Cell::tooLong), so that no
// reader holds it and no reading of the cell passes it on.
constexpr std::size_t kMaxCellTextUnits = 32767;

struct Cell {
    CellKind kind = CellKind::Empty;
    // Number; Boolean (0 or 1); DateTime as a day number from 30 December 1899
    // with the time as fraction, the workbook's date system already applied.
    double number = 0;
    // Text; Error ("#DIV/0!", "#N/A", ...), as the workbook holds it.
    QString text;
    // Text, Error: the workbook's text was longer than kMaxCellTextUnits;
    // `text` is empty.
    bool tooLong = false;
};

// What a sheet may hold in memory, cells and texts together (the input is
// bounded too, but a small cell of XML or BIFF still costs a few bytes here).
constexpr std::size_t kMaxSheetBytes = std::size_t{192} << 20;

// A sheet past its memory bound (SheetData's maxBytes). The message says so
// in Spanish without the file name; the readers add it.
class SheetTooLarge : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// A sparse grid of cells, cheap to fill row by row in order and to read by
// position. Cells set twice keep the last value.
//
// Each cell is one 16-byte entry: its position, its kind and either its
// number or the index of its text in the sheet's text pool. Texts are kept
// once, in one buffer: a shared-string table is added to the pool as it is
// read and its cells only refer to it, so an empty or repeated shared string
// costs a few bytes. Entries delivered in reading order (rows ascending,
// columns ascending within a row), as every writer delivers them, stay as
// they came; any other order is sorted once by finish(), in place. A lookup
// is a direct index to the row and a binary search within it.
//
// Cells and texts together may take at most `maxBytes`: past it set() and
// addText() throw SheetTooLarge. A text longer than kMaxCellTextUnits costs
// only its mark.
class SheetData {
public:
    using TextId = std::uint32_t;

    explicit SheetData(std::size_t maxBytes = kMaxSheetBytes);

    // Adds `text` to the pool (for shared strings, or for a cell through
    // setText); one past kMaxCellTextUnits is marked instead (addTooLongText).
    TextId addText(QStringView text);
    // Adds a text of at most `maxUnits` UTF-16 units that `write(begin)`
    // writes straight into the pool, returning the end of what it wrote: a
    // reader decodes into its place, without a copy on the way. Throws
    // SheetTooLarge unless what was written still fits (meanwhile the pool
    // may hold `maxUnits` more, so a caller keeps them few). Whether `write`
    // or the bound throws, the pool is as it was. A text that turns out
    // longer than kMaxCellTextUnits is marked instead.
    template <class Write>
    TextId addText(std::size_t maxUnits, Write&& write) {
        const std::size_t at = textUnits_.size();
        textUnits_.resize(at + maxUnits);
        const char16_t* end = nullptr;
        try {
            end = write(textUnits_.data() + at);
        } catch (...) {
            textUnits_.resize(at);
            throw;
        }
        return endText(at, static_cast<std::size_t>(end - (textUnits_.data() + at)));
    }
    // The mark of a text longer than kMaxCellTextUnits, for a reader that
    // stopped gathering it: text(id) is empty and isTooLong(id) true.
    TextId addTooLongText();
    // Throws SheetTooLarge unless a text of `units` more UTF-16 units still fits
    // (for a reader that gathers a long text before adding it).
    void checkTextRoom(std::size_t units) const;
    QStringView text(TextId id) const;
    bool isTooLong(TextId id) const { return (textEnds_[id] & kTooLongMark) != 0; }
    std::size_t textCount() const { return textEnds_.size(); }

    // Requires 1 <= row <= kMaxRows, 1 <= column <= kMaxColumns (throws ReadError
    // otherwise). A text or error value is copied into the pool.
    void set(std::int32_t row, std::int32_t column, const Cell& cell);
    // A text or error cell whose text is already in the pool.
    void setText(std::int32_t row, std::int32_t column, CellKind kind, TextId text);
    // Puts the cells in order and indexes the rows; find() needs it after the
    // last set(). Cheap when the cells came in reading order.
    void finish();
    // Drops the cells, keeps the texts.
    void clearCells();

    // The cell at (row, column), or nothing when none was set. Any position is allowed.
    std::optional<Cell> find(std::int32_t row, std::int32_t column) const;
    // Makes room for `cells` cells (a hint only; takes address space, not memory).
    void reserve(std::size_t cells) { cells_.reserve(std::min(cells, maxBytes_ / sizeof(Entry))); }
    // The highest row holding a cell (0 when none).
    std::int32_t rowCount() const;

private:
    // key: row - 1 (20 bits), column - 1 (14 bits), the order in which the
    // cell was set (27 bits, so that sorting keeps the last of a repeated
    // cell), kind (3 bits). value: the number's bits or the TextId.
    struct Entry {
        std::uint64_t key;
        std::uint64_t value;
    };
    static constexpr int kPositionShift = 30;
    static constexpr std::uint64_t kMaxOrder = (std::uint64_t{1} << 27) - 1;
    // In textEnds_: the text was too long and is not kept. The pool never
    // reaches 2^31 units (maxBytes_ stays below 4 GiB), so the bit is free.
    static constexpr std::uint32_t kTooLongMark = std::uint32_t{1} << 31;
    static std::size_t endOf(std::uint32_t end) { return end & ~kTooLongMark; }

    static void checkPosition(std::int32_t row, std::int32_t column);
    void append(std::int32_t row, std::int32_t column, CellKind kind, std::uint64_t value);
    void charge(std::size_t bytes);
    TextId endText(std::size_t at, std::size_t units);
    [[noreturn]] void tooLarge() const;
    static std::uint64_t position(const Entry& e) { return e.key >> kPositionShift; }

    MappedArray<Entry> cells_;
    MappedArray<char16_t> textUnits_;
    MappedArray<std::uint32_t> textEnds_;  // textEnds_[i]: end of text i in textUnits_, and the mark
    std::vector<std::uint32_t> rowBegin_;  // rowBegin_[r - 1]: first entry of row r; one more at the end
    std::size_t maxBytes_;
    std::size_t usedBytes_ = 0;
    std::uint64_t order_ = 0;
    bool inOrder_ = true;
    bool finished_ = true;
};

// "B7": the name of the cell at (row, column).
QString cellName(std::int32_t row, std::int32_t column);

// The first UTF-16 unit of `text` that no database stores as written: NUL
// (it cuts a statement's text short) or half of a surrogate pair standing
// alone or in the wrong order (it becomes "?"). Every other character, other
// control characters and U+FFFE/U+FFFF included, is stored as it is. Nothing
// when the whole text can be stored.
std::optional<char16_t> unstorableCharacter(QStringView text);

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
