#include "platform/runtime/numbers.h"

#include "platform/runtime/exception.h"

#include <charconv>
#include <cmath>
#include <string>

namespace rtl {

QString FloatToStr(double value, QChar decimalSeparator) {
    if (std::isnan(value)) return QStringLiteral("NAN");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0.0) return QStringLiteral("0");
    // to_chars never looks at the C library's locale (printf's "%.15g" would
    // write the comma of es_UY into SQL text). Its general form with 15 digits
    // is "%.15g": it switches to the exponent form exactly where the general
    // number form does (below 1E-4, from 1E15, both after rounding to 15
    // digits); only the exponent's spelling differs.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    QString text = QString::fromLatin1(buf, res.ptr - buf);
    const qsizetype e = text.indexOf(u'e');
    if (e >= 0) {
        QString mantissa = text.left(e);
        QString exponent = text.mid(e + 1);
        const bool negative = exponent.startsWith(u'-');
        if (exponent.startsWith(u'+') || negative) exponent.remove(0, 1);
        while (exponent.size() > 1 && exponent.startsWith(u'0')) exponent.remove(0, 1);
        text = mantissa + u'E' + (negative ? QStringLiteral("-") : QString()) + exponent;
    }
    if (decimalSeparator != u'.') text.replace(u'.', decimalSeparator);
    return text;
}

QString FloatToStr(double value) { return FloatToStr(value, FormatSettings().DecimalSeparator); }

QString FloatToStrSql(double value) { return FloatToStr(value, u'.'); }

QString FormatFixedSql(double value, int decimals) {
    if (!std::isfinite(value)) return FloatToStrSql(value);
    // Shortest round-trip digits in scientific form: d.ddddde±x.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::abs(value), std::chars_format::scientific);
    const std::string sci(buf, res.ptr);
    const auto epos = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, epos))
        if (c != '.') digits += c;
    int exponent = 0;
    const char* expFirst = sci.data() + epos + 1;
    if (*expFirst == '+') ++expFirst;
    std::from_chars(expFirst, sci.data() + sci.size(), exponent);
    // digits d0 d1 d2 ... stand for d0.d1d2... x 10^exponent; the integer part
    // has exponent + 1 digits.
    int intDigits = exponent + 1;
    if (intDigits < 1) {
        digits.insert(0, static_cast<size_t>(1 - intDigits), '0');
        intDigits = 1;
    }
    const size_t keep = static_cast<size_t>(intDigits + decimals);
    bool roundUp = false;
    if (digits.size() > keep) {
        roundUp = digits[keep] >= '5';
        digits.resize(keep);
    } else {
        digits.append(keep - digits.size(), '0');
    }
    if (roundUp) {
        int i = static_cast<int>(digits.size()) - 1;
        for (; i >= 0; --i) {
            if (digits[static_cast<size_t>(i)] == '9') {
                digits[static_cast<size_t>(i)] = '0';
            } else {
                ++digits[static_cast<size_t>(i)];
                break;
            }
        }
        if (i < 0) {
            digits.insert(0, 1, '1');
            ++intDigits;
        }
    }
    std::string out = digits.substr(0, static_cast<size_t>(intDigits));
    if (decimals > 0) out += '.' + digits.substr(static_cast<size_t>(intDigits));
    const bool allZero = out.find_first_not_of("0.") == std::string::npos;
    if (value < 0 && !allZero) out.insert(0, 1, '-');
    return QString::fromLatin1(out.c_str());
}

bool TryStrToFloat(const QString& text, QChar decimalSeparator, double& value) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return false;
    std::string ascii;
    ascii.reserve(static_cast<size_t>(t.size()));
    qsizetype i = 0;
    if (t[i] == u'+' || t[i] == u'-') ascii += static_cast<char>(t[i++].unicode());
    bool digits = false, point = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c.unicode() >= '0' && c.unicode() <= '9') {
            ascii += static_cast<char>(c.unicode());
            digits = true;
        } else if (c == decimalSeparator && !point) {
            ascii += '.';
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return false;
    if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
        ascii += 'e';
        ++i;
        if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ascii += static_cast<char>(t[i++].unicode());
        bool expDigits = false;
        for (; i < t.size() && t[i].unicode() >= '0' && t[i].unicode() <= '9'; ++i) {
            ascii += static_cast<char>(t[i].unicode());
            expDigits = true;
        }
        if (!expDigits) return false;
    }
    if (i != t.size()) return false;
    const char* first = ascii.data();
    if (*first == '+') ++first;
    double v = 0;
    const auto res = std::from_chars(first, ascii.data() + ascii.size(), v);
    if (res.ec != std::errc() || res.ptr != ascii.data() + ascii.size() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

double StrToFloat(const QString& text, QChar decimalSeparator) {
    double v = 0;
    if (!TryStrToFloat(text, decimalSeparator, v))
        throw EConvertError(QStringLiteral("'%1' no es un número válido").arg(text));
    return v;
}

double StrToFloat(const QString& text) { return StrToFloat(text, FormatSettings().DecimalSeparator); }

}  // namespace rtl
