// Date-times of the run-time library: a double counting days from
// 30 December 1899 (day 0), the time of day as its fraction. A negative value
// counts days backwards; its fraction is still the time of day (-1.25 is
// 29 December 1899 at 06:00).
#pragma once

#include "platform/runtime/format_settings.h"

#include <QString>

namespace rtl {

using TDateTime = double;

struct DateTimeParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Throws EConvertError for a date that does not exist.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int ms = 0);
// Rounds to the nearest millisecond, as the platform does. A NaN or infinite
// value gives the parts of day 0; a finite one beyond 1E11 days either way
// throws EConvertError (so does FormatDateTime, which decodes with it).
DateTimeParts DecodeDateTime(TDateTime value);
bool IsValidDate(int year, int month, int day);
TDateTime Now();

// Formats with the platform's pattern letters, case-insensitive: d dd (day),
// m mm (month; minutes right after an hour), mmm mmmm (month name), yy yyyy,
// h hh, n nn, s ss, z zzz, am/pm; text in double or single quotes is literal;
// "/" prints settings.DateSeparator and ":" settings.TimeSeparator.
QString FormatDateTime(const QString& pattern, TDateTime value, const TFormatSettings& settings);
QString FormatDateTime(const QString& pattern, TDateTime value);

// Reads a date laid out as settings.ShortDateFormat says (order of day, month
// and year) with settings.DateSeparator between the numbers; blanks around
// the text and around each number allowed; two-digit years fall within 50 years of the current one; with only
// two numbers the current year is taken. Throws EConvertError otherwise.
TDateTime StrToDate(const QString& text, const TFormatSettings& settings);
TDateTime StrToDate(const QString& text);
bool TryStrToDate(const QString& text, const TFormatSettings& settings, TDateTime& value);

}  // namespace rtl
