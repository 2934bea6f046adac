// Opening a workbook file of any supported kind, told apart by its content.
//
// The first bytes decide, never the file's extension: a compound document
// (D0 CF 11 E0 A1 B1 1A E1) goes to the .xls reader, which also recognises
// password-protected .xlsx files and older Excel versions; a zip package
// (PK 03 04) to the .xlsx reader, which refuses .xlsb and .ods. Anything
// else, an empty file included, is refused. Every message is in Spanish,
// names the file and says what is wrong with it.
#pragma once

#include "platform/spreadsheet/cells.h"

#include <QByteArray>
#include <QString>

namespace xl {

// Largest workbook file read at all.
constexpr qint64 kMaxWorkbookFileBytes = 256ll << 20;

// Reads the workbook in `bytes`; `fileName` only names it in messages.
// Throws ReadError.
WorkbookData readWorkbook(const QByteArray& bytes, const QString& fileName);

// Reads the file at `path` and then as readWorkbook does. The file is
// opened once, without waiting (a FIFO without a writer does not block),
// and read only through that descriptor. Refused with ReadError: a missing
// file, a dangling symbolic link or a loop of them, no permission, anything
// but a regular file (a folder, FIFO, device or socket), and a file larger
// than kMaxWorkbookFileBytes.
WorkbookData readWorkbookFile(const QString& path);

}  // namespace xl
