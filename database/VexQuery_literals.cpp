// The SQL literal and dialect helpers of TVexQuery: quoting, date and Boolean
// literals per engine, column types, the LIKE wildcard, compact dates and
// adding a column; and the copy of a result into a memory table.
#include "database/VexQuery.h"

#include "platform/runtime/datetime.h"
#include "platform/runtime/format_settings.h"
#include "platform/runtime/numbers.h"
#include "platform/runtime/strings.h"

#include <cmath>

namespace {
// Date literals carry "/" and ":" whatever the user's locale: a statement must
// read the same on every machine.
rtl::TFormatSettings sqlDateSettings() {
    rtl::TFormatSettings s = rtl::FormatSettings();
    s.DateSeparator = u'/';
    s.TimeSeparator = u':';
    return s;
}
}  // namespace

QString TVexQuery::StrQuoted(const QString& s, bool, bool) const { return rtl::QuotedStr(s); }

QString TVexQuery::fecha_sql(rtl::TDateTime f) const {
    double whole = 0;
    const bool hasTime = std::modf(f, &whole) != 0.0;
    QString pattern;
    if (TDriver == u"INTERBASE" || TDriver == u"SQLSERVER")
        pattern = hasTime ? QStringLiteral("MM/dd/yyyy HH:nn:ss") : QStringLiteral("MM/dd/yyyy");
    else if (TDriver == u"ORACLE")
        pattern = hasTime ? QStringLiteral("DD/MM/YY HH:nn:ss") : QStringLiteral("DD/MM/YY");
    else if (TDriver == u"SYBASE" || TDriver == u"MYSQL")
        pattern = QStringLiteral("yyyy-MM-dd HH:nn:ss");
    else if (TDriver == u"ACCESS")
        return rtl::FormatFixedSql(f, 10);
    else
        return {};
    return QStringLiteral("'") + rtl::FormatDateTime(pattern, f, sqlDateSettings()) + QStringLiteral("'");
}

QString TVexQuery::bool_sql(bool valor) const {
    if (TDriver == u"INTERBASE" || TDriver == u"SQLSERVER" || TDriver == u"ORACLE" || TDriver == u"MYSQL")
        return valor ? QStringLiteral("'T'") : QStringLiteral("'F'");
    if (TDriver == u"DEFAULT") return valor ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    if (TDriver == u"ACCESS") return valor ? QStringLiteral("-1") : QStringLiteral("0");
    return {};
}

QString TVexQuery::DoubleDef() const {
    return TDriver == u"ACCESS" ? QStringLiteral("DOUBLE") : QStringLiteral("DOUBLE PRECISION");
}

QString TVexQuery::porcentaje() const { return QStringLiteral("%"); }

rtl::TDateTime TVexQuery::strYYYYMMDDtodate(const QString& s) const {
    const QString text = rtl::Copy(s, 7, 2) + u'/' + rtl::Copy(s, 5, 2) + u'/' + rtl::Copy(s, 1, 4);
    rtl::FormatSettings().ShortDateFormat = QStringLiteral("dd/MM/yyyy");
    // The text has slashes whatever the locale's date separator.
    rtl::TFormatSettings settings = rtl::FormatSettings();
    settings.DateSeparator = u'/';
    rtl::TDateTime value = 0;
    if (!rtl::TryStrToDate(text, settings, value)) return 0;
    return value;
}

bool TVexQuery::verificar_campo(const QString& campo, const QString& tabla, data::TFieldType Tipo_dato,
                                std::int32_t largo, const QString&) {
    QString type;
    switch (Tipo_dato) {
    case data::ftString:
        type = QStringLiteral("varchar(") + rtl::IntToStr(largo) + QStringLiteral(")");
        break;
    case data::ftInteger:
        type = QStringLiteral("integer");
        break;
    case data::ftFloat:
        type = DoubleDef();
        break;
    case data::ftDateTime:
        type = QStringLiteral("date");
        break;
    default:
        return false;
    }
    SetActive(false);
    SQL().clear();
    SQL().append(QStringLiteral("alter table ") + tabla + QStringLiteral(" add ") + campo + u' ' + type);
    try {
        ExecSQL();
        return true;
    } catch (...) {
        // The column exists already, the table is missing, ...: the caller
        // only wants to know whether it was added.
        return false;
    }
}

void TVexQuery::copio_a_memTable(data::TFDMemTable& Tabla) {
    Tabla.CopyDataSet(dataset(), {data::coStructure, data::coRestart, data::coAppend});
    Tabla.SetActive(true);
}
