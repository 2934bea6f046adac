// How a cell's number format shows its number, and the cell a number becomes.
//
// Both workbook formats store dates as plain numbers; only the cell's number
// format says a number is a date, a time or an elapsed time. Built-in formats
// are known by id, custom ones by their code. Both readers turn a number into
// a cell through numberCell, so an .xls and an .xlsx holding the same serial
// under the same kind of format give the same cell.
#pragma once

#include "platform/spreadsheet/cells.h"

#include <QString>
#include <cstdint>

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

// Whether a format code shows an elapsed time: its first section holds, outside
// quoted text and escapes, a bracket made only of h, m or s ("[hh]:mm",
// "[mm]:ss", "[s]"). Colour and locale brackets ("[Magenta]", "[$-409]") are not.
bool isElapsedTimeFormatCode(const QString& code);

// How a cell format shows its number.
enum class NumberShown : std::uint8_t {
    Plain,     // a number
    Date,      // a date, a time of day or both: a serial of the workbook's date system
    Duration,  // an elapsed time: a count of days, on no calendar
};

// For a built-in format id (46, "[h]:mm:ss", is the built-in elapsed time).
NumberShown builtinNumberShown(int id);
// For a custom format code.
NumberShown numberShownByCode(const QString& code);

// The date-time a cell serial stands for, as a day number from 30 December
// 1899. In the 1900 system serials from 61 on are the same day number; those
// below 60 sit one day off because that system counts a 29 February 1900
// that never was (serial 60 itself is taken as 28 February), and serials
// below 1 are times of day that stay as they are. In the 1904 system serial 0
// is 1 January 1904, so every serial moves by 1462 days.
double serialToDateTime(double serial, bool date1904);

// The cell a stored number `value` gives under a format shown as `shown`:
// Plain a Number; Date a DateTime through serialToDateTime; Duration a
// DateTime of exactly `value` days (no calendar, so no date-system shift).
Cell numberCell(double value, NumberShown shown, bool date1904);

}  // namespace xl
