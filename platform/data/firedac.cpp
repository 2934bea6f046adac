#include "platform/data/firedac.h"

#include "platform/data/ado.h"
#include "platform/odbc/odbc.h"

#include <algorithm>

namespace data {

namespace {
qsizetype paramIndex(const QStringList& lines, QStringView name) {
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype eq = lines[i].indexOf(u'=');
        if (eq >= 0 && QStringView(lines[i]).left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString paramValue(const QStringList& lines, QStringView name, bool* found = nullptr) {
    const qsizetype i = paramIndex(lines, name);
    if (found) *found = i >= 0;
    return i < 0 ? QString() : lines[i].mid(lines[i].indexOf(u'=') + 1);
}

bool isAccess(const TFDConnection& c) {
    return c.DriverName.compare(u"MSAcc", Qt::CaseInsensitive) == 0 ||
           c.ParamsDriverID().compare(u"MSAcc", Qt::CaseInsensitive) == 0;
}
}  // namespace

TFDConnection::~TFDConnection() = default;

void TFDConnection::SetParamsDriverID(const QString& id) {
    const qsizetype i = paramIndex(Params, u"DriverID");
    const QString line = QStringLiteral("DriverID=") + id;
    if (i >= 0) Params[i] = line;
    else Params.append(line);
}

QString TFDConnection::ParamsDriverID() const { return paramValue(Params, u"DriverID"); }

void TFDConnection::GetTableNames(const QString&, const QString&, const QString&, QStringList& list,
                                  std::initializer_list<TFDPhysObjectScope>,
                                  std::initializer_list<TFDPhysTableKind> kinds, bool) {
    listTables(list, std::find(kinds.begin(), kinds.end(), tkSynonym) != kinds.end());
}

QString TFDConnection::odbcConnectionString() const {
    const QString user = paramValue(Params, u"User_Name");
    const QString password = paramValue(Params, u"Password");
    if (isAccess(*this)) {
        bool found = false;
        const QString file = paramValue(Params, u"DataBase", &found);
        if (!found || file.isEmpty())
            throw EDatabaseError(QStringLiteral("La conexión FireDAC no indica el archivo de Access (DataBase)"));
        return QStringLiteral("DRIVER=") + odbc::quoteConnectionValue(QString::fromUtf16(kAccessOdbcDriver)) +
               QStringLiteral(";DBQ=") + odbc::quoteConnectionValue(file);
    }
    const QString id = ParamsDriverID().isEmpty() ? DriverName : ParamsDriverID();
    if (id.compare(u"ODBC", Qt::CaseInsensitive) != 0)
        throw EDatabaseError(QStringLiteral("Controlador FireDAC no soportado: '%1'").arg(id));
    bool found = false;
    const QString dsn = paramValue(Params, u"DataSource", &found);
    if (!found || dsn.isEmpty())
        throw EDatabaseError(QStringLiteral("La conexión FireDAC no indica el origen de datos (DataSource)"));
    return QStringLiteral("DSN=") + odbc::quoteConnectionValue(dsn) + QStringLiteral(";UID=") +
           odbc::quoteConnectionValue(user) + QStringLiteral(";PWD=") + odbc::quoteConnectionValue(password);
}

int TFDConnection::rowsPerFetch() const { return FetchOptions.RowsetSize > 0 ? FetchOptions.RowsetSize : 1; }

bool TFDConnection::readOnly() const { return isAccess(*this); }

TFDQuery::~TFDQuery() { setConnectionBase(nullptr); }

void TFDQuery::SetConnection(TFDConnection* c) {
    setConnectionBase(c);
}

int TFDQuery::rowsPerFetch() const {
    return connectionBase() ? connectionBase()->rowsPerFetch() : FetchOptions.RowsetSize;
}

}  // namespace data
