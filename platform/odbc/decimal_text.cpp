#include "platform/odbc/decimal_text.h"

#include <clocale>
#include <cstring>

namespace odbc {

namespace {

bool isAsciiDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

qsizetype digitsFrom(const QString& text, qsizetype i) {
    while (i < text.size() && isAsciiDigit(text[i])) ++i;
    return i;
}

}  // namespace

void pointAsDecimalSeparator(QString& text) {
    const char* mark = std::localeconv()->decimal_point;
    if (mark == nullptr || *mark == '\0' || std::strcmp(mark, ".") == 0) return;
    const QString separator = QString::fromLocal8Bit(mark);
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) ++i;
    const qsizetype whole = digitsFrom(text, i);
    if (whole == i || !QStringView(text).sliced(whole).startsWith(separator)) return;
    const qsizetype fraction = whole + separator.size();
    const qsizetype end = digitsFrom(text, fraction);
    if (end == fraction || end != text.size()) return;
    text.replace(whole, separator.size(), QChar(u'.'));
}

}  // namespace odbc
