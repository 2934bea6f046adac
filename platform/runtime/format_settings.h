// The process-wide format settings of the run-time library.
//
// Filled once at start from the user's locale (LC_ALL, LC_NUMERIC and LC_TIME
// as the C library resolves them) by initFormatSettingsFromLocale(); every
// conversion that shows a number or a date to the user reads them. Tests set
// the fields directly. Only the GUI thread touches them.
#pragma once

#include <QChar>
#include <QString>

namespace rtl {

struct TFormatSettings {
    QChar DecimalSeparator = u'.';
    QChar DateSeparator = u'/';
    QChar TimeSeparator = u':';
    // Delphi-style pattern: d, dd, M, MM, yy, yyyy and "/" for the separator.
    QString ShortDateFormat = QStringLiteral("dd/MM/yyyy");
};

// The process-wide settings (defaults as above until initialised).
TFormatSettings& FormatSettings();

// The settings a locale name gives ("" means the environment's LC_ALL,
// LC_NUMERIC, LC_TIME and LANG). The numeric and the time category are
// resolved each on its own; one that names an unknown or unavailable locale
// keeps the defaults above for its fields.
TFormatSettings formatSettingsForLocale(const char* localeName = "");

// FormatSettings() := formatSettingsForLocale("").
void initFormatSettingsFromLocale();

}  // namespace rtl
