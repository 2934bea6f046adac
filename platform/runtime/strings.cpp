#include "platform/runtime/strings.h"

namespace rtl {

QString UpperCase(const QString& s) {
    QString out = s;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z') c = QChar(static_cast<char16_t>(u - (u'a' - u'A')));
    }
    return out;
}

QString Trim(const QString& s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin].unicode() <= 0x20) ++begin;
    while (end > begin && s[end - 1].unicode() <= 0x20) --end;
    return s.mid(begin, end - begin);
}

QString QuotedStr(const QString& s) {
    QString out;
    out.reserve(s.size() + 2);
    out += u'\'';
    for (const QChar c : s) {
        out += c;
        if (c == u'\'') out += u'\'';
    }
    out += u'\'';
    return out;
}

QString IntToStr(std::int64_t value) { return QString::number(static_cast<qlonglong>(value)); }

QString Copy(const QString& s, qsizetype index, qsizetype count) {
    if (index < 1) index = 1;
    if (count <= 0 || index > s.size()) return {};
    return s.mid(index - 1, count);
}

}  // namespace rtl
