#include "platform/runtime/format_settings.h"

#include <langinfo.h>
#include <locale.h>

namespace rtl {

TFormatSettings& FormatSettings() {
    static TFormatSettings settings;
    return settings;
}

namespace {

// Turns a strftime date pattern ("%d/%m/%Y") into the short date format
// ("dd/MM/yyyy") and reports its separator.
void readDateFormat(const QString& fmt, TFormatSettings& out) {
    QString pattern;
    QChar separator;
    for (qsizetype i = 0; i < fmt.size(); ++i) {
        const QChar c = fmt[i];
        if (c == u'%' && i + 1 < fmt.size()) {
            QChar f = fmt[++i];
            if (f == u'E' || f == u'O' || f == u'-' || f == u'_' || f == u'0') {
                if (i + 1 >= fmt.size()) break;
                f = fmt[++i];
            }
            switch (f.unicode()) {
            case 'd': pattern += QStringLiteral("dd"); break;
            case 'e': pattern += QStringLiteral("d"); break;
            case 'm': pattern += QStringLiteral("MM"); break;
            case 'y': pattern += QStringLiteral("yy"); break;
            case 'Y': pattern += QStringLiteral("yyyy"); break;
            case 'D': pattern += QStringLiteral("MM/dd/yy"); separator = u'/'; break;
            case 'F': pattern += QStringLiteral("yyyy/MM/dd"); separator = u'-'; break;
            default: break;
            }
            continue;
        }
        if (c.isSpace()) continue;
        if (separator.isNull()) separator = c;
        pattern += u'/';
    }
    // Patterns with several separators keep the first one; the short date
    // format always writes the separator as "/".
    if (pattern.isEmpty() || separator.isNull()) return;
    out.ShortDateFormat = pattern;
    out.DateSeparator = separator;
}

void readTimeFormat(const QString& fmt, TFormatSettings& out) {
    for (qsizetype i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == u'%') { ++i; continue; }
        if (!fmt[i].isSpace()) { out.TimeSeparator = fmt[i]; return; }
    }
}

}  // namespace

TFormatSettings formatSettingsForLocale(const char* localeName) {
    TFormatSettings s;
    // Each category on its own, as setlocale() resolves them: a time locale
    // that is not installed must not cost the user the decimal comma.
    if (locale_t loc = newlocale(LC_NUMERIC_MASK, localeName, static_cast<locale_t>(nullptr));
        loc != static_cast<locale_t>(nullptr)) {
        const QString radix = QString::fromLocal8Bit(nl_langinfo_l(RADIXCHAR, loc));
        if (!radix.isEmpty()) s.DecimalSeparator = radix[0];
        freelocale(loc);
    }
    if (locale_t loc = newlocale(LC_TIME_MASK, localeName, static_cast<locale_t>(nullptr));
        loc != static_cast<locale_t>(nullptr)) {
        readDateFormat(QString::fromLocal8Bit(nl_langinfo_l(D_FMT, loc)), s);
        readTimeFormat(QString::fromLocal8Bit(nl_langinfo_l(T_FMT, loc)), s);
        freelocale(loc);
    }
    return s;
}

void initFormatSettingsFromLocale() { FormatSettings() = formatSettingsForLocale(""); }

}  // namespace rtl
