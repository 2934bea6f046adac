#include "platform/runtime/datetime.h"

#include "platform/runtime/exception.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <cmath>

namespace rtl {

namespace {

constexpr qint64 kJulianDayZero = 2415019;  // QDate(1899, 12, 30).toJulianDay()
constexpr double kMsPerDay = 86400000.0;
// Well inside both qint64 and the day numbers QDate keeps valid.
constexpr double kMaxDays = 1e11;

const char16_t* const kShortMonths[] = {u"ene", u"feb", u"mar", u"abr", u"may", u"jun",
                                        u"jul", u"ago", u"sep", u"oct", u"nov", u"dic"};
const char16_t* const kLongMonths[] = {u"enero", u"febrero", u"marzo", u"abril", u"mayo", u"junio",
                                       u"julio", u"agosto", u"septiembre", u"octubre", u"noviembre",
                                       u"diciembre"};

QString twoDigits(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }

}  // namespace

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && QDate::isValid(year, month, day);
}

TDateTime EncodeDate(int year, int month, int day) {
    if (!IsValidDate(year, month, day))
        throw EConvertError(QStringLiteral("Fecha inválida: %1-%2-%3").arg(year).arg(month).arg(day));
    return static_cast<double>(QDate(year, month, day).toJulianDay() - kJulianDayZero);
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int ms) {
    const double date = EncodeDate(year, month, day);
    const double time = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + ms) / kMsPerDay;
    return date >= 0 ? date + time : date - time;
}

DateTimeParts DecodeDateTime(TDateTime value) {
    DateTimeParts p;
    if (!std::isfinite(value)) return p;
    // Far beyond any calendar (a hostile workbook cell): refused rather than
    // cast out of range.
    if (std::abs(value) > kMaxDays)
        throw EConvertError(QStringLiteral("Fecha fuera de rango: %1").arg(value, 0, 'g', 15));
    // Work in whole milliseconds, the sign applying to the day only.
    double days = std::trunc(value);
    double ms = std::round(std::abs(value - days) * kMsPerDay);
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        days += value >= 0 ? 1 : -1;
    }
    const QDate d = QDate::fromJulianDay(static_cast<qint64>(days) + kJulianDayZero);
    p.year = d.year();
    p.month = d.month();
    p.day = d.day();
    auto t = static_cast<qint64>(ms);
    p.millisecond = static_cast<int>(t % 1000);
    t /= 1000;
    p.second = static_cast<int>(t % 60);
    t /= 60;
    p.minute = static_cast<int>(t % 60);
    p.hour = static_cast<int>(t / 60);
    return p;
}

TDateTime Now() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return EncodeDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec());
}

QString FormatDateTime(const QString& pattern, TDateTime value, const TFormatSettings& settings) {
    const DateTimeParts p = DecodeDateTime(value);
    QString out;
    bool lastWasHour = false;
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = pattern[i];
        const char16_t lower = c.toLower().unicode();
        auto run = [&](char16_t letter) {
            qsizetype j = i;
            while (j < n && pattern[j].toLower().unicode() == letter) ++j;
            return j - i;
        };
        if (c == u'"' || c == u'\'') {
            qsizetype j = i + 1;
            while (j < n && pattern[j] != c) ++j;
            out += pattern.mid(i + 1, j - i - 1);
            i = j < n ? j + 1 : j;
            continue;
        }
        if (lower == u'a' && pattern.mid(i, 5).compare(QStringLiteral("am/pm"), Qt::CaseInsensitive) == 0) {
            out += p.hour < 12 ? QStringLiteral("am") : QStringLiteral("pm");
            i += 5;
            continue;
        }
        switch (lower) {
        case u'd': {
            const qsizetype len = run(u'd');
            out += len >= 2 ? twoDigits(p.day) : QString::number(p.day);
            i += len;
            lastWasHour = false;
            continue;
        }
        case u'm': {
            const qsizetype len = run(u'm');
            if (lastWasHour && len <= 2) {
                out += len == 2 ? twoDigits(p.minute) : QString::number(p.minute);
            } else if (len >= 4) {
                out += QString::fromUtf16(kLongMonths[p.month - 1]);
            } else if (len == 3) {
                out += QString::fromUtf16(kShortMonths[p.month - 1]);
            } else {
                out += len == 2 ? twoDigits(p.month) : QString::number(p.month);
            }
            i += len;
            lastWasHour = false;
            continue;
        }
        case u'y': {
            const qsizetype len = run(u'y');
            out += len <= 2 ? twoDigits(p.year % 100) : QStringLiteral("%1").arg(p.year, 4, 10, QLatin1Char('0'));
            i += len;
            lastWasHour = false;
            continue;
        }
        case u'h': {
            const qsizetype len = run(u'h');
            out += len >= 2 ? twoDigits(p.hour) : QString::number(p.hour);
            i += len;
            lastWasHour = true;
            continue;
        }
        case u'n': {
            const qsizetype len = run(u'n');
            out += len >= 2 ? twoDigits(p.minute) : QString::number(p.minute);
            i += len;
            lastWasHour = false;
            continue;
        }
        case u's': {
            const qsizetype len = run(u's');
            out += len >= 2 ? twoDigits(p.second) : QString::number(p.second);
            i += len;
            lastWasHour = false;
            continue;
        }
        case u'z': {
            const qsizetype len = run(u'z');
            out += len >= 3 ? QStringLiteral("%1").arg(p.millisecond, 3, 10, QLatin1Char('0'))
                            : QString::number(p.millisecond);
            i += len;
            continue;
        }
        default:
            break;
        }
        if (c == u'/') out += settings.DateSeparator;
        else if (c == u':') out += settings.TimeSeparator;
        else out += c;
        // Blanks and separators do not end the "minutes after an hour" rule.
        ++i;
    }
    return out;
}

QString FormatDateTime(const QString& pattern, TDateTime value) {
    return FormatDateTime(pattern, value, FormatSettings());
}

bool TryStrToDate(const QString& text, const TFormatSettings& settings, TDateTime& value) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return false;
    const QStringList parts = t.split(settings.DateSeparator);
    if (parts.size() < 2 || parts.size() > 3) return false;
    QList<int> numbers;
    QStringList digits;
    for (QString part : parts) {
        // Blanks may stand around each number, as the platform skips them.
        while (part.startsWith(u' ')) part.remove(0, 1);
        while (part.endsWith(u' ')) part.chop(1);
        if (part.isEmpty() || part.size() > 4) return false;
        for (const QChar c : part)
            if (c.unicode() < '0' || c.unicode() > '9') return false;
        numbers.append(part.toInt());
        digits.append(part);
    }
    // Order of day, month and year from the short date format.
    QString order;
    for (const QChar c : settings.ShortDateFormat) {
        const QChar l = c.toLower();
        if ((l == u'd' || l == u'm' || l == u'y') && !order.contains(l)) order += l;
    }
    if (order.size() != 3) order = QStringLiteral("dmy");
    int day = 0, month = 0, year = 0;
    bool yearGiven = parts.size() == 3;
    int yearDigits = 4;
    int k = 0;
    for (const QChar which : order) {
        if (which == u'y' && !yearGiven) continue;
        if (k >= numbers.size()) return false;
        const int v = numbers[k];
        if (which == u'd') day = v;
        else if (which == u'm') month = v;
        else {
            year = v;
            yearDigits = static_cast<int>(digits[k].size());
        }
        ++k;
    }
    const int currentYear = QDate::currentDate().year();
    if (!yearGiven) {
        year = currentYear;
    } else if (yearDigits <= 2) {
        // Two-digit years: the century that puts them within 50 years of now.
        const int pivot = currentYear - 50;
        year += (pivot / 100) * 100;
        if (year < pivot) year += 100;
    }
    if (!IsValidDate(year, month, day)) return false;
    value = EncodeDate(year, month, day);
    return true;
}

TDateTime StrToDate(const QString& text, const TFormatSettings& settings) {
    TDateTime v = 0;
    if (!TryStrToDate(text, settings, v))
        throw EConvertError(QStringLiteral("'%1' no es una fecha válida").arg(text));
    return v;
}

TDateTime StrToDate(const QString& text) { return StrToDate(text, FormatSettings()); }

}  // namespace rtl
