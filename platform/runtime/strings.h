// Text conversions of the run-time library, with the platform's semantics.
#pragma once

#include <QString>
#include <cstdint>

namespace rtl {

// Changes the letters a-z into A-Z and nothing else: accented letters and ñ
// stay as they are (never QString::toUpper, which would change them).
QString UpperCase(const QString& s);

// Removes from both ends every character up to U+0020 (blanks and controls).
QString Trim(const QString& s);

// s enclosed in single quotes, each single quote inside doubled.
QString QuotedStr(const QString& s);

// Decimal digits, a minus sign in front of a negative value, no grouping.
QString IntToStr(std::int64_t value);

// Characters [index, index + count) of s, counting from 1 as the platform's
// Copy does; pieces past the end are cut short or empty, never an error.
QString Copy(const QString& s, qsizetype index, qsizetype count);

}  // namespace rtl
