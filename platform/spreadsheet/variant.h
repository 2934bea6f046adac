// The value of one cell as the automation stand-in hands it out.
//
// A Variant is empty, a number, a text, a truth value, a date-time or an
// error value. The workbook reading turns it into text or into a 64-bit
// floating-point number; those conversions follow the user's locale through
// the process-wide rtl::FormatSettings() and are these:
//
//   value        toText()                               toNumber()
//   empty        ""                                     0
//   number       rtl::FloatToStr: general form, up to   the number
//                15 significant digits, the locale's
//                decimal separator, no grouping
//   text         the text, unchanged                    rtl::StrToFloat under the locale's decimal
//                                                       separator, blanks around allowed; a text of
//                                                       length 0 (what a formula giving "" leaves,
//                                                       an empty cell to the user) gives 0; any
//                                                       other text that is no number fails
//   truth value  "VERDADERO" / "FALSO"                  fails
//   date-time    ShortDateFormat via FormatDateTime;    fails (a date in an amount column is a
//                with " hh:nn:ss" when it has a time;   mistake, not an amount)
//                a time alone (day 0) as "hh:nn:ss"
//   error value  fails                                  fails
//
// Failures are rtl::EConvertError with a Spanish message that quotes the
// value as text ("'12,5kg' no es un número válido").
#pragma once

#include "platform/spreadsheet/cells.h"

#include <QString>

namespace ole {

class Variant {
public:
    enum class Type { Empty, Number, Text, Boolean, DateTime, Error };

    Variant() = default;
    static Variant number(double value);
    static Variant text(QString value);
    static Variant boolean(bool value);
    static Variant dateTime(double dayNumber);
    // `code` is the error as the sheet shows it ("#N/A", "#DIV/0!").
    static Variant error(QString code);
    static Variant fromCell(const xl::Cell& cell);

    Type type() const { return type_; }
    bool isEmpty() const { return type_ == Type::Empty; }
    // The stored number (Number, DateTime; Boolean as 0 or 1; else 0).
    double rawNumber() const { return number_; }
    // The stored text (Text, Error; else "").
    const QString& rawText() const { return text_; }

    // Throws rtl::EConvertError for an error value.
    QString toText() const;
    // Throws rtl::EConvertError as the table above says.
    double toNumber() const;

private:
    Type type_ = Type::Empty;
    double number_ = 0;
    QString text_;
};

}  // namespace ole
