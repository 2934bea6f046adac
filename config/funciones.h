// Small helper functions shared by the main window: the error dialog, the
// splitting of separated fields, the code of a combo box's chosen item,
// numbers written for SQL and directories ready for a file name.
#pragma once

#include <QString>
#include <cstdint>

class QComboBox;

// Shows `s` in the modal error dialog (error icon, a single OK button) and
// returns when the user has closed it.
void error(const QString& s);

// Field `i` (the first is 1) of `s` split at `del`, where double quotes protect
// the separator; every vertical bar already in `s` also ends a field, and every
// double quote is removed from the fields. Past the last field: the empty text.
// `cortar` trims characters up to U+0020 from both ends; `escape` is not used.
// Throws rtl::EListError when `i` is below 1.
QString saco_campo(QString s, std::int32_t i, QChar del, QChar escape, bool cortar);

// The integer attached (as item data) to the chosen item of `Cbo`; 0 when
// nothing is chosen or the item carries none.
std::int32_t ComboCodigo(const QComboBox* Cbo);

// `number` with exactly three decimals and a point, whatever the locale, no
// blanks: 2.5 gives "2.500". An exact half (in the number's shortest decimal
// form, as a user would write it) rounds away from zero: 0.0625 gives "0.063",
// -1.0005 gives "-1.001".
QString FloatStr(long double number);

// `dir` ready for a file name to be appended: unchanged when it already ends
// in a separator, "/" or the "\" of a path written on Windows; otherwise with
// "/" appended.
QString conSeparadorFinal(QString dir);
