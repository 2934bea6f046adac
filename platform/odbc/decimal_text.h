// The text of an exact decimal as a driver hands it back, made locale-free.
//
// The PostgreSQL driver writes NUMERIC and DECIMAL values with the C
// library's decimal mark of the moment ("10,125" under es_UY), which no
// reader could tell from a thousands separator. The core reads such columns
// through pointAsDecimalSeparator right after fetching them.
#pragma once

#include <QString>

namespace odbc {

// When `text` is a sign, digits, the C library's current decimal mark (as
// localeconv gives it, when that is not the point) once, and digits, puts
// the point in place of that mark. Any other text stays as it is: "1e5",
// "12-5", "1,2,3" or a text with a blank are not decimals in that form.
void pointAsDecimalSeparator(QString& text);

}  // namespace odbc
