// Number conversions of the run-time library.
#pragma once

#include "platform/runtime/format_settings.h"

#include <QString>

namespace rtl {

// The general number form: at most 15 significant digits, no trailing zeros,
// no thousands separator, a decimal separator only when there is a fraction;
// scientific form ("1E15", "5E-5") below 1E-4 and from 1E15 on in magnitude
// (the platform's threshold; its documentation says 1E-5, its code 1E-4).
// Writes `decimalSeparator` as the decimal separator.
QString FloatToStr(double value, QChar decimalSeparator);
// ... with the process-wide FormatSettings().DecimalSeparator (for the user).
QString FloatToStr(double value);
// ... with a point whatever the locale (for SQL text).
QString FloatToStrSql(double value);

// Fixed-point text with `decimals` digits after a point, rounded to the nearest
// unit of the last digit, halves away from zero. The value is taken as its
// shortest decimal form (the digits that read back as the same double), so
// 2.0005 is a half and gives 2.001 with three decimals, as a user reads it.
QString FormatFixedSql(double value, int decimals);

// Reads a number written with `decimalSeparator` and no other (so "12.500"
// under a comma locale is refused rather than guessed), optional sign,
// optional exponent, blanks around it allowed, no thousands separators.
// Throws EConvertError quoting the text when it is not a number.
double StrToFloat(const QString& text, QChar decimalSeparator);
double StrToFloat(const QString& text);
bool TryStrToFloat(const QString& text, QChar decimalSeparator, double& value);

}  // namespace rtl
