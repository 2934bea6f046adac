#include "platform/data/connection.h"

#include "platform/data/sql_query.h"
#include "platform/odbc/odbc.h"

#include <algorithm>

namespace data {

namespace {
bool isAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
}  // namespace

bool isValidComponentName(const QString& name) {
    if (name.isEmpty()) return false;
    if (!isAsciiLetter(name[0]) && name[0] != u'_') return false;
    return std::all_of(name.begin(), name.end(), [](QChar c) {
        return isAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'_';
    });
}

TCustomConnection::TCustomConnection() = default;

TCustomConnection::~TCustomConnection() {
    for (TCustomSQLQuery* q : queries_) q->connectionGone();
    queries_.clear();
    if (conn_) conn_->close();
}

void TCustomConnection::SetName(const QString& name) {
    if (!name.isEmpty() && !isValidComponentName(name))
        throw EDatabaseError(QStringLiteral("'%1' no es un nombre de componente válido").arg(name));
    name_ = name;
}

bool TCustomConnection::Connected() const { return conn_ && conn_->isOpen(); }

void TCustomConnection::SetConnected(bool value) {
    if (!value) {
        if (!Connected()) return;
        for (TCustomSQLQuery* q : queries_) q->connectionClosing();
        conn_->close();
        conn_.reset();
        return;
    }
    QString cs;
    try {
        cs = odbcConnectionString();
    } catch (...) {
        SetConnected(false);
        throw;
    }
    if (Connected()) {
        if (cs == openedWith_) return;
        // Configured anew while open: staying on the old database would
        // answer for another one than asked.
        SetConnected(false);
    }
    auto c = std::make_unique<odbc::Connection>();
    c->open(cs);
    if (readOnly()) {
        // A hint: drivers that cannot write (MDBTools) refuse writes anyway.
        try {
            c->setReadOnly(true);
        } catch (const odbc::Error&) {
        }
    }
    conn_ = std::move(c);
    openedWith_ = cs;
}

odbc::Connection& TCustomConnection::odbcConnection() {
    if (!Connected())
        throw EDatabaseError(QStringLiteral("La conexión '%1' no está abierta").arg(name_));
    return *conn_;
}

void TCustomConnection::listTables(QStringList& list, bool includeSynonyms) {
    QStringList names = odbcConnection().tables(includeSynonyms);
    names.sort(Qt::CaseInsensitive);
    list = names;
}

void TCustomConnection::attach(TCustomSQLQuery* query) {
    if (std::find(queries_.begin(), queries_.end(), query) == queries_.end()) queries_.push_back(query);
}

void TCustomConnection::detach(TCustomSQLQuery* query) noexcept {
    queries_.erase(std::remove(queries_.begin(), queries_.end(), query), queries_.end());
}

}  // namespace data
