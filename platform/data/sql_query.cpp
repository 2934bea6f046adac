#include "platform/data/sql_query.h"

#include "platform/data/connection.h"
#include "platform/odbc/odbc.h"
#include "platform/runtime/datetime.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <QRegularExpression>

namespace data {

namespace {

TCustomSQLQuery::StatementHook& hook() {
    static TCustomSQLQuery::StatementHook h;
    return h;
}

void runHook(const QString& sql) {
    if (hook()) hook()(sql);
}

TFieldType fieldTypeOf(int sqlType) {
    switch (sqlType) {
    case SQL_SMALLINT:
    case SQL_TINYINT:
        return ftSmallint;
    case SQL_INTEGER:
        return ftInteger;
    case SQL_BIGINT:
        return ftLargeint;
    case SQL_BIT:
        return ftBoolean;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        return ftFloat;
    case SQL_TYPE_DATE:
    case SQL_DATE:
        return ftDate;
    case SQL_TYPE_TIME:
    case SQL_TIME:
        return ftTime;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        return ftDateTime;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
        return ftMemo;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return ftBlob;
    default:
        return ftString;
    }
}

// "yyyy-mm-dd", "hh:mm:ss" or both, as drivers write them, as a day number.
bool parseDateTimeText(const QString& text, TFieldType type, double& out) {
    static const QRegularExpression re(QStringLiteral(
        R"(^\s*(?:(-?\d{1,4})-(\d{1,2})-(\d{1,2}))?[ T]?(?:(\d{1,2}):(\d{2})(?::(\d{2})(?:\.(\d+))?)?)?\s*$)"));
    const auto m = re.match(text);
    if (!m.hasMatch()) return false;
    double v = 0;
    if (m.capturedLength(1) > 0) {
        const int y = m.captured(1).toInt(), mo = m.captured(2).toInt(), d = m.captured(3).toInt();
        if (!rtl::IsValidDate(y, mo, d)) return false;
        v = rtl::EncodeDate(y, mo, d);
    } else if (type != ftTime) {
        return false;
    }
    if (m.capturedLength(4) > 0) {
        const int h = m.captured(4).toInt(), mi = m.captured(5).toInt(), s = m.captured(6).toInt();
        int ms = 0;
        if (m.capturedLength(7) > 0) ms = m.captured(7).left(3).leftJustified(3, u'0').toInt();
        if (h > 23 || mi > 59 || s > 59) return false;
        const double t = (h * 3600000.0 + mi * 60000.0 + s * 1000.0 + ms) / 86400000.0;
        v = v < 0 ? v - t : v + t;
    }
    out = v;
    return true;
}

QVariant toVariant(const odbc::Value& v, TFieldType type) {
    switch (v.kind) {
    case odbc::Value::Kind::Null:
        return {};
    case odbc::Value::Kind::Integer:
        if (type == ftBoolean) return QVariant(v.integer != 0);
        return QVariant(static_cast<qlonglong>(v.integer));
    case odbc::Value::Kind::Real:
        return QVariant(v.real);
    case odbc::Value::Kind::Text:
        break;
    }
    if (type == ftDate || type == ftTime || type == ftDateTime) {
        double d = 0;
        if (parseDateTimeText(v.text, type, d)) return QVariant(d);
    } else if (type == ftFloat) {
        bool ok = false;
        const double d = v.text.toDouble(&ok);
        if (ok) return QVariant(d);
    } else if (type == ftBoolean) {
        if (v.text == u"1" || v.text.compare(u"t", Qt::CaseInsensitive) == 0 ||
            v.text.compare(u"true", Qt::CaseInsensitive) == 0)
            return QVariant(true);
        if (v.text == u"0" || v.text.compare(u"f", Qt::CaseInsensitive) == 0 ||
            v.text.compare(u"false", Qt::CaseInsensitive) == 0)
            return QVariant(false);
    }
    return QVariant(v.text);
}

void describe(const odbc::Statement& st, TFieldDefs& defs) {
    defs.Clear();
    for (int i = 0; i < st.columnCount(); ++i) {
        const odbc::Column& c = st.column(i);
        const TFieldType t = fieldTypeOf(c.sqlType);
        defs.Add(c.label, t, t == ftString ? static_cast<int>(c.size) : 0);
    }
}

}  // namespace

void TCustomSQLQuery::setStatementHookForTesting(StatementHook h) { hook() = std::move(h); }

TCustomSQLQuery::TCustomSQLQuery() = default;

TCustomSQLQuery::~TCustomSQLQuery() {
    Close();
    if (connection_) connection_->detach(this);
}

QString TCustomSQLQuery::text() const {
    QString s;
    for (const QString& line : sql_) {
        s += line;
        s += QStringLiteral("\r\n");
    }
    return s;
}

void TCustomSQLQuery::setConnectionBase(TCustomConnection* connection) {
    if (connection == connection_) return;
    Close();
    if (connection_) connection_->detach(this);
    connection_ = connection;
    if (connection_) connection_->attach(this);
}

TCustomConnection& TCustomSQLQuery::requireConnection() const {
    if (!connection_) throw EDatabaseError(QStringLiteral("La consulta no tiene conexión"));
    return *connection_;
}

int TCustomSQLQuery::rowsPerFetch() const { return connection_ ? connection_->rowsPerFetch() : 1; }

void TCustomSQLQuery::doOpen(TFieldDefs& defs) {
    odbc::Connection& conn = requireConnection().odbcConnection();
    const QString sql = text();
    auto st = std::make_unique<odbc::Statement>(conn);
    const int rows = rowsPerFetch();
    st->setRowArraySize(rows > 0 ? rows : 100);
    runHook(sql);
    st->execDirect(sql);
    if (!st->hasResultSet())
        throw EDatabaseError(QStringLiteral("La sentencia no devolvió filas"));
    describe(*st, defs);
    defsText_ = sql;
    stmt_ = std::move(st);
}

bool TCustomSQLQuery::fetchRow(TRow& row) {
    if (!stmt_) return false;
    if (!stmt_->fetch()) {
        // Every row has been read: let the cursor go at once.
        stmt_->closeCursor();
        return false;
    }
    const TFieldDefs& defs = fieldDefs_;
    row.clear();
    const int n = stmt_->columnCount();
    row.reserve(n);
    for (int i = 0; i < n; ++i)
        row.append(toVariant(stmt_->value(i), i < defs.Count() ? defs[i].DataType : ftString));
    return true;
}

void TCustomSQLQuery::doClose() { stmt_.reset(); }

void TCustomSQLQuery::readFieldDefs(TFieldDefs& defs) {
    // Only a statement that reads can be run just to learn its columns.
    static const QRegularExpression reads(QStringLiteral(R"(^\s*(select|with)\b)"),
                                          QRegularExpression::CaseInsensitiveOption);
    defsText_ = text();
    if (!connection_ || !connection_->Connected() || !reads.match(defsText_).hasMatch()) return;
    odbc::Statement st(connection_->odbcConnection());
    runHook(text());
    st.execDirect(text());
    if (st.hasResultSet()) describe(st, defs);
    st.closeCursor();
}

long long TCustomSQLQuery::ExecSQL() {
    odbc::Connection& conn = requireConnection().odbcConnection();
    const QString sql = text();
    odbc::Statement st(conn);
    runHook(sql);
    st.execDirect(sql);
    const long long n = st.rowsAffected();
    st.closeCursor();
    return n;
}

void TCustomSQLQuery::connectionClosing() noexcept { Close(); }

void TCustomSQLQuery::connectionGone() noexcept {
    Close();
    connection_ = nullptr;
}

}  // namespace data
