#include "platform/spreadsheet/number_format.h"

namespace xl {

bool isBuiltinDateFormat(int id) {
    return (id >= 14 && id <= 22) || (id >= 45 && id <= 47) || (id >= 27 && id <= 36) ||
           (id >= 50 && id <= 58);
}

bool isDateFormatCode(const QString& code) {
    const qsizetype n = code.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = code[i];
        switch (c.unicode()) {
        case ';':
            return false;  // only the first section decides
        case '"': {
            ++i;
            while (i < n && code[i] != u'"') ++i;
            continue;
        }
        case '\\':
        case '_':
        case '*':
            ++i;  // the next character is literal (or padding)
            continue;
        case '[': {
            const qsizetype close = code.indexOf(u']', i);
            if (close < 0) return false;
            const QString inner = code.mid(i + 1, close - i - 1).toLower();
            bool elapsed = !inner.isEmpty();
            for (const QChar x : inner)
                if (x != u'h' && x != u'm' && x != u's') elapsed = false;
            if (elapsed) return true;
            i = close;
            continue;
        }
        default:
            break;
        }
        const char16_t l = c.toLower().unicode();
        if (l == u'd' || l == u'm' || l == u'y' || l == u'h' || l == u's') {
            // "General" contains e, n, r, a, l only; make sure we are not inside it.
            if (code.mid(i).startsWith(QStringLiteral("General"), Qt::CaseInsensitive)) {
                i += 6;
                continue;
            }
            return true;
        }
        if (code.mid(i).startsWith(QStringLiteral("General"), Qt::CaseInsensitive)) {
            i += 6;
            continue;
        }
    }
    return false;
}

}  // namespace xl
