// ADO's connection and query components over ODBC.
//
// TADOConnection keeps its OLE DB connection string as set and parses it by
// OLE DB's rules (keys without regard to case, values in single or double
// quotes with the quote doubled inside, the last of repeated keys wins).
// Provider "MSDASQL.1" reaches the ODBC data source of "Data Source" with
// "User ID" and "Password"; provider "Microsoft.Jet.OLEDB.4.0" opens the
// Access file of "Data Source" through the MDBTools driver, read-only.
#pragma once

#include "platform/data/connection.h"
#include "platform/data/sql_query.h"

#include <QList>
#include <QPair>

namespace data {

enum TIsolationLevel {
    ilUnspecified, ilChaos, ilReadUncommitted, ilBrowse, ilCursorStability, ilReadCommitted,
    ilRepeatableRead, ilSerializable, ilIsolated,
};
enum TConnectMode {
    cmUnknown, cmRead, cmWrite, cmReadWrite, cmShareDenyRead, cmShareDenyWrite, cmShareExclusive,
    cmShareDenyNone,
};
enum TADOLockType { ltUnspecified, ltReadOnly, ltPessimistic, ltOptimistic, ltBatchOptimistic };
enum TCursorType { ctUnspecified, ctOpenForwardOnly, ctKeyset, ctDynamic, ctStatic };
enum TCursorLocation { clUseServer, clUseClient };

// The name of the ODBC driver that reads Access files.
inline constexpr char16_t kAccessOdbcDriver[] = u"MDBTools";

// An OLE DB connection string's pairs in order, keys trimmed, values unquoted.
// Throws EDatabaseError for an unterminated quote.
QList<QPair<QString, QString>> parseOleDbConnectionString(const QString& s);
// `value` as it must stand in an OLE DB connection string so that it is read
// back unchanged: as it is when safe, else in double quotes (or single quotes
// when it holds double ones), the enclosing quote doubled inside.
QString quoteOleDbValue(const QString& value);

class TADOConnection : public TCustomConnection {
public:
    TADOConnection() = default;
    ~TADOConnection() override;

    QString ConnectionString;
    TIsolationLevel IsolationLevel = ilCursorStability;
    TConnectMode Mode = cmUnknown;
    bool KeepConnection = true;

    // Starts a transaction (auto-commit off); returns the nesting level (1).
    // Throws EDatabaseError when not connected.
    int BeginTrans();
    // Commits and returns to auto-commit. Throws EDatabaseError when not
    // connected, the driver's error when the commit fails.
    void CommitTrans();
    bool InTransaction() const { return inTransaction_; }
    // Fills `list` with the tables and views; system tables only when asked
    // (never listed here). Throws EDatabaseError when not connected.
    void GetTableNames(QStringList& list, bool SystemTables = false);

    // Throws EDatabaseError for an empty string, an unknown provider or one
    // without "Data Source".
    QString odbcConnectionString() const override;
    int rowsPerFetch() const override { return 0; }
    bool readOnly() const override;

private:
    bool inTransaction_ = false;
};

class TADOQuery : public TCustomSQLQuery {
public:
    TADOQuery() = default;
    ~TADOQuery() override;

    TADOConnection* Connection() const { return static_cast<TADOConnection*>(connectionBase()); }
    void SetConnection(TADOConnection* c);

    TADOLockType LockType = ltOptimistic;
    TCursorType CursorType = ctKeyset;
    TCursorLocation CursorLocation = clUseClient;
    bool ParamCheck = true;
    // Kept as set; a prepared statement is run the same way.
    bool Prepared = false;

protected:
    // The client cursor reads every row at opening.
    int rowsPerFetch() const override;
};

}  // namespace data
