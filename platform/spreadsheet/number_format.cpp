#include "platform/spreadsheet/number_format.h"

namespace xl {

namespace {

// Whether the bracket body `inner` (without the brackets) is an elapsed-time
// section: only h, m or s letters.
bool isElapsedSection(const QString& inner) {
    if (inner.isEmpty()) return false;
    for (const QChar x : inner) {
        const char16_t l = x.toLower().unicode();
        if (l != u'h' && l != u'm' && l != u's') return false;
    }
    return true;
}

}  // namespace

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
            if (isElapsedSection(code.mid(i + 1, close - i - 1))) return true;
            i = close;
            continue;
        }
        default:
            break;
        }
        // "General" holds none of these letters, so it never reads as a date.
        const char16_t l = c.toLower().unicode();
        if (l == u'd' || l == u'm' || l == u'y' || l == u'h' || l == u's') return true;
    }
    return false;
}

bool isElapsedTimeFormatCode(const QString& code) {
    const qsizetype n = code.size();
    for (qsizetype i = 0; i < n; ++i) {
        switch (code[i].unicode()) {
        case ';': return false;  // only the first section decides
        case '"':
            ++i;
            while (i < n && code[i] != u'"') ++i;
            break;
        case '\\':
        case '_':
        case '*': ++i; break;  // the next character is literal (or padding)
        case '[': {
            const qsizetype close = code.indexOf(u']', i);
            if (close < 0) return false;
            if (isElapsedSection(code.mid(i + 1, close - i - 1))) return true;
            i = close;
            break;
        }
        default: break;
        }
    }
    return false;
}

NumberShown builtinNumberShown(int id) {
    if (id == 46) return NumberShown::Duration;
    return isBuiltinDateFormat(id) ? NumberShown::Date : NumberShown::Plain;
}

NumberShown numberShownByCode(const QString& code) {
    if (!isDateFormatCode(code)) return NumberShown::Plain;
    return isElapsedTimeFormatCode(code) ? NumberShown::Duration : NumberShown::Date;
}

double serialToDateTime(double serial, bool date1904) {
    if (date1904) return serial + 1462;
    if (serial < 1) return serial;
    return serial < 60 ? serial + 1 : serial;
}

Cell numberCell(double value, NumberShown shown, bool date1904) {
    Cell cell;
    cell.number = value;
    switch (shown) {
    case NumberShown::Plain: cell.kind = CellKind::Number; break;
    case NumberShown::Date:
        cell.kind = CellKind::DateTime;
        cell.number = serialToDateTime(value, date1904);
        break;
    case NumberShown::Duration: cell.kind = CellKind::DateTime; break;
    }
    return cell;
}

}  // namespace xl
