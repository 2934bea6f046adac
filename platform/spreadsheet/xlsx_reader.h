// The .xlsx / .xlsm reader: the tab list and the cells of the first worksheet.
//
// The workbook part is found through the package relationships, its tabs
// through workbook.xml and its relationships (never a fixed path), and the
// first worksheet in tab order is streamed through expat. Values: shared
// strings, inline strings and formula strings (rich-text runs joined,
// phonetic runs left out, _xHHHH_ escapes decoded), numbers, booleans,
// error values, ISO dates (t="d"); a number whose cell format is a date or
// time format (built-in or custom) becomes a date-time, in the 1900 or the
// 1904 date system (see serialToDateTime in number_format.h); under an elapsed-time format
// ("[hh]:mm") the number is a duration and becomes a date-time of that many
// days, unshifted; formulas give their cached value (none: an empty cell).
//
// Limits (hostile input): each part at most 128 MiB inflated, all parts read
// at most 256 MiB, no part inflating more than 200:1 past its first 4 MiB
// (see ZipLimits), XML nested at most 256 deep with no document type
// declaration and no markup past 16 MiB (see XmlStream), cell references
// within XFD1048576, the first worksheet's cells and texts within
// kMaxSheetBytes of memory, no two parts of one name, however it is spelled
// (see ZipArchive), and no two relationships of one Id in a part. Texts are
// kept as the workbook holds them, a text past kMaxCellTextUnits only marked
// as too long (and not gathered further): whether the program can take one is
// judged where its cell is read (ole::Worksheet::Cells).
// Binary workbooks (.xlsb) and OpenDocument spreadsheets (.ods) are refused
// with their own message.
#pragma once

#include "platform/spreadsheet/cells.h"
#include "platform/spreadsheet/number_format.h"
#include "platform/spreadsheet/zip_archive.h"

#include <QByteArray>
#include <QString>

namespace xl {

// Reads the zip package in `bytes`. Throws ReadError, whose message names
// `fileName`, for anything that is not a readable workbook of this kind, and
// for a first worksheet whose cells and texts would take more than
// `maxSheetBytes` (see SheetData).
WorkbookData readXlsx(const QByteArray& bytes, const QString& fileName, ZipLimits limits = {},
                      std::size_t maxSheetBytes = kMaxSheetBytes);
// The same for the zip package in the regular file open on `fd`, read as
// needed through that descriptor; `fileName` names it in messages.
WorkbookData readXlsxFile(int fd, const QString& fileName, ZipLimits limits = {},
                          std::size_t maxSheetBytes = kMaxSheetBytes);

}  // namespace xl
