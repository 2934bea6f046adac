// Parses the Workbook stream of an Excel 97-2003 (.xls, BIFF8) file.
//
// From the workbook globals it takes the tab list (BOUNDSHEET), the shared
// string table (SST and its CONTINUE records), the number formats and cell
// formats that make a number a date, the date system (DATEMODE) and the
// encryption marker (FILEPASS); from the first worksheet in tab order it takes
// every cell value: texts, numbers, RK and MULRK numbers, booleans, errors and
// formulas by their cached results. Every read is checked against the record
// and stream bounds; no size the file declares is trusted for allocation.
#pragma once

#include "platform/runtime/exception.h"
#include "platform/spreadsheet/cells.h"

#include <QByteArray>

namespace xl {

// Why a Workbook stream cannot be read; `message()` is a Spanish detail
// without the file name (for Damaged) or empty.
class BiffError : public rtl::Exception {
public:
    enum class Kind { Damaged, TooOld, Encrypted };
    BiffError(Kind kind, const QString& detail) : rtl::Exception(detail), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// Reads a whole BIFF8 Workbook stream. Throws BiffError: TooOld for a BIFF5
// or older stream, Encrypted when FILEPASS is present, Damaged for any record
// that is cut short, points outside the stream, refers to a string that is
// not in the table or holds a number that is not finite. Texts are kept as
// the workbook holds them (one past kMaxCellTextUnits only marked as too
// long); whether the program can take one is judged where a cell is read.
// Throws SheetTooLarge when the first worksheet takes more than maxSheetBytes.
WorkbookData parseBiff8Workbook(const QByteArray& stream, std::size_t maxSheetBytes = kMaxSheetBytes);

}  // namespace xl
