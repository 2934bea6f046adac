#include "platform/data/dbexpress.h"

#include "platform/odbc/odbc.h"

namespace data {

namespace {
// The value of the line "name=..." (name without regard to case); the first wins.
QString paramValue(const QStringList& lines, QStringView name, bool* found = nullptr) {
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) continue;
        if (QStringView(line).left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
            if (found) *found = true;
            return line.mid(eq + 1);
        }
    }
    if (found) *found = false;
    return {};
}
}  // namespace

TSQLConnection::~TSQLConnection() = default;

QString TSQLConnection::odbcConnectionString() const {
    if (DriverName.compare(u"Odbc", Qt::CaseInsensitive) != 0)
        throw EDatabaseError(QStringLiteral("Controlador dbExpress no soportado: '%1'").arg(DriverName));
    bool found = false;
    const QString dsn = paramValue(Params, u"DataBase", &found);
    if (!found || dsn.isEmpty())
        throw EDatabaseError(QStringLiteral("La conexión dbExpress no indica el origen de datos (DataBase)"));
    return QStringLiteral("DSN=") + odbc::quoteConnectionValue(dsn) + QStringLiteral(";UID=") +
           odbc::quoteConnectionValue(paramValue(Params, u"User_Name")) + QStringLiteral(";PWD=") +
           odbc::quoteConnectionValue(paramValue(Params, u"Password"));
}

int TSQLConnection::rowsPerFetch() const {
    bool ok = false;
    const int n = paramValue(Params, u"RowSetSize").trimmed().toInt(&ok);
    return ok && n > 0 ? n : 1;
}

void TSQLConnection::GetTableNames(QStringList& list, bool) { listTables(list, false); }

TSQLQuery::~TSQLQuery() { setConnectionBase(nullptr); }

void TSQLQuery::SetSQLConnection(TSQLConnection* c) {
    setConnectionBase(c);
}

long long TSQLQuery::ExecSQL(bool) { return TCustomSQLQuery::ExecSQL(); }

}  // namespace data
