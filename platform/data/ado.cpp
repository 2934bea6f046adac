#include "platform/data/ado.h"

#include "platform/odbc/odbc.h"
#include "platform/runtime/strings.h"

namespace data {

QList<QPair<QString, QString>> parseOleDbConnectionString(const QString& s) {
    QList<QPair<QString, QString>> pairs;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        // Key: up to "=", where "==" stands for an "=" inside the key.
        QString key;
        while (i < n) {
            if (s[i] == u'=') {
                if (i + 1 < n && s[i + 1] == u'=') {
                    key += u'=';
                    i += 2;
                    continue;
                }
                break;
            }
            if (s[i] == u';') break;
            key += s[i++];
        }
        key = key.trimmed();
        if (i >= n || s[i] == u';') {
            // A bare word or an empty segment carries no value.
            ++i;
            continue;
        }
        ++i;  // the "="
        while (i < n && s[i].isSpace()) ++i;
        QString value;
        if (i < n && (s[i] == u'"' || s[i] == u'\'')) {
            const QChar q = s[i++];
            bool closed = false;
            while (i < n) {
                if (s[i] == q) {
                    if (i + 1 < n && s[i + 1] == q) {
                        value += q;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += s[i++];
            }
            if (!closed)
                throw EDatabaseError(QStringLiteral("Cadena de conexión con una comilla sin cerrar: %1").arg(key));
            while (i < n && s[i] != u';') ++i;  // blanks after the quote
        } else {
            while (i < n && s[i] != u';') value += s[i++];
            value = value.trimmed();
        }
        ++i;  // the ";"
        if (!key.isEmpty()) pairs.append({key, value});
    }
    return pairs;
}

QString quoteOleDbValue(const QString& value) {
    const bool plain = !value.contains(u';') && !value.contains(u'"') && !value.contains(u'\'') &&
                       value.trimmed() == value;
    if (plain) return value;
    if (value.contains(u'"') && !value.contains(u'\''))
        return QStringLiteral("'") + value + QStringLiteral("'");
    QString v = value;
    v.replace(u'"', QStringLiteral("\"\""));
    return QStringLiteral("\"") + v + QStringLiteral("\"");
}

namespace {

// The value of `key` (the last one given; keys without regard to case).
QString valueOf(const QList<QPair<QString, QString>>& pairs, QStringView key, bool* found = nullptr) {
    QString v;
    bool any = false;
    for (const auto& p : pairs)
        if (p.first.compare(key, Qt::CaseInsensitive) == 0) {
            v = p.second;
            any = true;
        }
    if (found) *found = any;
    return v;
}

bool isProvider(const QString& provider, QStringView name) {
    // "MSDASQL" and "MSDASQL.1" are the same provider.
    return provider.compare(name, Qt::CaseInsensitive) == 0 ||
           provider.compare(name.toString() + QStringLiteral(".1"), Qt::CaseInsensitive) == 0;
}

}  // namespace

TADOConnection::~TADOConnection() = default;

QString TADOConnection::odbcConnectionString() const {
    if (ConnectionString.trimmed().isEmpty())
        throw EDatabaseError(QStringLiteral("La conexión ADO no tiene cadena de conexión"));
    const auto pairs = parseOleDbConnectionString(ConnectionString);
    const QString provider = valueOf(pairs, u"Provider");
    bool hasSource = false;
    const QString source = valueOf(pairs, u"Data Source", &hasSource);
    if (isProvider(provider, u"MSDASQL")) {
        if (!hasSource || source.isEmpty())
            throw EDatabaseError(QStringLiteral("La cadena de conexión ADO no indica el origen de datos"));
        return QStringLiteral("DSN=") + odbc::quoteConnectionValue(source) + QStringLiteral(";UID=") +
               odbc::quoteConnectionValue(valueOf(pairs, u"User ID")) + QStringLiteral(";PWD=") +
               odbc::quoteConnectionValue(valueOf(pairs, u"Password"));
    }
    if (provider.compare(u"Microsoft.Jet.OLEDB.4.0", Qt::CaseInsensitive) == 0) {
        if (!hasSource || source.isEmpty())
            throw EDatabaseError(QStringLiteral("La cadena de conexión ADO no indica el archivo de Access"));
        return QStringLiteral("DRIVER=") + odbc::quoteConnectionValue(QString::fromUtf16(kAccessOdbcDriver)) +
               QStringLiteral(";DBQ=") + odbc::quoteConnectionValue(source);
    }
    throw EDatabaseError(QStringLiteral("Proveedor ADO no soportado: '%1'").arg(provider));
}

bool TADOConnection::readOnly() const {
    const auto pairs = parseOleDbConnectionString(ConnectionString);
    return valueOf(pairs, u"Provider").compare(u"Microsoft.Jet.OLEDB.4.0", Qt::CaseInsensitive) == 0;
}

int TADOConnection::BeginTrans() {
    odbc::Connection& c = odbcConnection();
    c.setAutoCommit(false);
    inTransaction_ = true;
    return 1;
}

void TADOConnection::CommitTrans() {
    odbc::Connection& c = odbcConnection();
    c.commit();
    c.setAutoCommit(true);
    inTransaction_ = false;
}

void TADOConnection::GetTableNames(QStringList& list, bool) { listTables(list, false); }

TADOQuery::~TADOQuery() { setConnectionBase(nullptr); }

void TADOQuery::SetConnection(TADOConnection* c) {
    setConnectionBase(c);
}

int TADOQuery::rowsPerFetch() const {
    if (CursorLocation == clUseClient) return 0;
    return TCustomSQLQuery::rowsPerFetch();
}

}  // namespace data
