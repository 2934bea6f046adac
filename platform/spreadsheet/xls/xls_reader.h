// Reads an Excel 97-2003 workbook (.xls) from the bytes of its compound
// document into the cell model the automation stand-in serves.
//
// The compound document is read by our own bounded reader (compound_file.h);
// the Workbook stream by our BIFF8 parser (biff8_reader.h). Every failure is
// an xl::ReadError with a Spanish message that names the file and says what
// is wrong: too old a format (BIFF5 and earlier), a password, no workbook in
// the document, or damage.
//
// Limits: time and memory are linear in the input's size. No sector chain may
// be longer than the file has sectors or visit a sector twice, no declared
// stream size may exceed what the file can hold, the directory tree is walked
// with each entry visited once, and no count the file declares (strings,
// sheets) is trusted for allocation. A cell past column IV (256), or a number
// that is not finite, is damage.
// Numbers become cells as in the .xlsx reader (numberCell in number_format.h):
// dates and times are day numbers from 30 December 1899 with the workbook's
// date system applied, elapsed times are durations that keep their whole days.
#pragma once

#include "platform/spreadsheet/cells.h"

#include <QByteArray>
#include <QString>

class QFile;

namespace xl {

// Parses `bytes`, a whole file that starts with the compound-document
// signature D0 CF 11 E0 A1 B1 1A E1. Returns the tab list (every BOUNDSHEET in
// tab order, charts, macro sheets and VB modules marked as not worksheets) and
// the cells of the first worksheet in tab order (none when the workbook has no
// worksheet). `fileName` only goes into the messages.
// Throws ReadError:
//  - BIFF5 or older (a "Book" stream, or a BOF older than BIFF8): save as .xlsx;
//  - FILEPASS in the workbook, or an encrypted .xlsx package: password-protected;
//  - a compound document without a Workbook stream: not a spreadsheet workbook;
//  - anything cut short, looping or pointing outside the file: damaged;
//  - two root entries named "Workbook" (or "Book"): damaged;
//  - a first worksheet of more than maxSheetBytes in memory (see SheetData).
// Memory: the bytes, the Workbook stream when its sectors are not in order
// (a copy), and the sheet, at most maxSheetBytes.
WorkbookData readCompoundDocument(const QByteArray& bytes, const QString& fileName,
                                  std::size_t maxSheetBytes = kMaxSheetBytes);

// The same for the open `file`, read as needed: its tables, then the Workbook
// stream straight into one buffer of the stream's size, in whatever order
// its sectors lie. Memory: that stream and the sheet, never the whole file
// beside them. A read error is a ReadError too.
WorkbookData readCompoundDocumentFile(QFile& file, const QString& fileName,
                                      std::size_t maxSheetBytes = kMaxSheetBytes);

}  // namespace xl
