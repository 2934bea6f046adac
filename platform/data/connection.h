// The part every connection component of the three access kinds shares: the
// component name, the open state, the table list and the one ODBC connection
// under it.
//
// A subclass keeps its framework's settings exactly as set and says, through
// odbcConnectionString(), which ODBC connection they stand for; every value it
// puts into that string goes through odbc::quoteConnectionValue. Query
// components attach themselves and are closed when the connection closes or
// goes away.
#pragma once

#include "platform/data/fields.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace odbc {
class Connection;
}

namespace data {

class TCustomSQLQuery;

class TCustomConnection {
public:
    TCustomConnection();
    virtual ~TCustomConnection();
    TCustomConnection(const TCustomConnection&) = delete;
    TCustomConnection& operator=(const TCustomConnection&) = delete;

    const QString& Name() const { return name_; }
    // Accepts an identifier only (a letter or "_" first, then letters, digits
    // and "_"; letters a-z, A-Z) or the empty text; throws EDatabaseError
    // naming the refused text otherwise.
    void SetName(const QString& name);

    bool Connected() const;
    // true opens (throws the driver's odbc::Error, or EDatabaseError for
    // settings that name nothing to open; the component then stays closed);
    // on an open component whose settings now stand for another connection it
    // closes and opens anew. false closes the attached queries and the
    // connection.
    void SetConnected(bool value);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }

    // Whether the framework would ask for a login; kept, never asked.
    bool LoginPrompt = true;

    // The ODBC connection string the settings stand for. Throws
    // EDatabaseError when they name nothing that can be opened.
    virtual QString odbcConnectionString() const = 0;
    // Rows per fetch for the queries on this connection (0: all at once).
    virtual int rowsPerFetch() const { return 1; }
    // Whether the settings ask for a read-only connection.
    virtual bool readOnly() const { return false; }

    // The open ODBC connection. Throws EDatabaseError when not connected.
    odbc::Connection& odbcConnection();

    // Tables and views of the database, without system tables, sorted.
    // Throws EDatabaseError when not connected.
    void listTables(QStringList& list, bool includeSynonyms);

    // For the query components.
    void attach(TCustomSQLQuery* query);
    void detach(TCustomSQLQuery* query) noexcept;

private:
    QString name_;
    std::unique_ptr<odbc::Connection> conn_;
    QString openedWith_;  // the connection string conn_ was opened with
    std::vector<TCustomSQLQuery*> queries_;
};

// True for an identifier as component names must be.
bool isValidComponentName(const QString& name);

}  // namespace data
