// Whether a cell's number format shows its number as a date or a time.
//
// Both workbook formats store dates as plain numbers; only the cell's number
// format says a number is a date. Built-in formats are known by id, custom
// ones by their code.
#pragma once

#include <QString>

namespace xl {

// Built-in ids 14-22 and 45-47 (and the localised 27-36, 50-58) are dates or
// times; other built-in ids are not.
bool isBuiltinDateFormat(int id);

// A custom format code is a date or time when, outside quoted text, escaped
// characters ("\-"), "[...]" sections other than elapsed time ("[h]", "[mm]",
// "[ss]") and colour or condition brackets, it holds one of the letters
// d, m, y, h, s (any case) or an elapsed-time section. Only the first section
// (before ";") counts. "General" and "@" are not dates.
bool isDateFormatCode(const QString& code);

}  // namespace xl
