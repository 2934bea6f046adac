// Unit DBobj: the program's database connection (DBConn) over one of three
// access kinds, the engine name learnt from the data source's ODBC driver,
// the in-memory statement log and the globals through which the program
// shares its one connection.
//
// Use: fill a TDBParameters, make a DBConn and call Connect(); a false result
// means that opening the database failed. Query objects (TVexQuery) are then
// made on the connection and read `tipo`, `TipoMotor` and the component of
// the kind (ADODB(), SQLDB(), FDCDB()).
#pragma once

#include "platform/data/ado.h"
#include "platform/data/dbexpress.h"
#include "platform/data/firedac.h"
#include "platform/data/mem_table.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

// The access kind, in this order.
enum TDBAccess : std::uint8_t { BDAdo, BDSqlConn, BDFireDac, BDParadox, BDBDE, BDUnDefined };

// A connection request.
struct TDBParameters {
    QString Alias;     // ODBC data-source name
    QString Username;
    QString Password;
    TDBAccess Tipo = BDAdo;
    QString Server;    // not consulted when connecting
    QString Path;      // an Access file; when set, ADO and FireDAC open it instead
    bool UniDirectional = false;
};

class DBConn {
public:
    // Kind BDUnDefined, no components, empty texts.
    DBConn();
    // Closes and frees every component that was made.
    ~DBConn();
    DBConn(const DBConn&) = delete;
    DBConn& operator=(const DBConn&) = delete;

    QString Usuario;
    QString Password;
    QString Alias;
    QString TipoMotor;
    std::int32_t version = 0;
    TDBAccess tipo = BDUnDefined;
    bool UniDirectional = false;

    const QString& _usuario() const { return Usuario; }
    // The component of each kind; nullptr until the first connect of that kind.
    data::TADOConnection* ADODB() const { return ADB.get(); }
    data::TSQLConnection* SQLDB() const { return SDB.get(); }
    data::TFDConnection* FDCDB() const { return FDB.get(); }

    // Records the request, finds the engine name, makes or reuses the
    // component of the kind, configures, names and opens it. Returns false when
    // the opening failed (the error is dropped; the component stays made,
    // configured and named). Throws, unguarded, a refused component name
    // (data::EDatabaseError) and errors of the data-source lists. Kinds
    // BDParadox, BDBDE and BDUnDefined open nothing and return true.
    bool Connect(const TDBParameters& Parameters, const QString& dbName);
    // Fills `l` with the database's tables and views (FireDAC: also synonyms).
    // Nothing when the component of the kind was never made.
    void GetTableNames(QStringList& l);
    // Closes the component of the current kind, if made.
    void DeConnect();
    // Whether the component of the current kind exists and is open.
    bool IsConnected() const;
    // The dbExpress component (nullptr until a dbExpress connect).
    data::TSQLConnection* SqlDatabase() const { return SDB.get(); }
    // ADO kind: starts / commits a transaction; other kinds: nothing.
    void BeginTransaction();
    void EndTransaction();

private:
    // The engine name of a data source, from its driver in the per-user list,
    // else in the system list.
    QString Driver_ODBC(const QString& dataSource) const;
    // Whether this is a 32-bit process on a 64-bit machine.
    static bool SO64Bits();

    std::unique_ptr<data::TSQLConnection> SDB;
    std::unique_ptr<data::TFDConnection> FDB;
    std::unique_ptr<data::TADOConnection> ADB;
};

// The engine name for an ODBC driver's name (the eight tests, in order).
QString engineForDriver(const QString& driver);

// Appends one statement to LogsQuerys: after cutting the log to 500 entries,
// a timestamp entry (dd/MM/yyyy" - "hh:nn:ss, with the locale's separators),
// then the lines of `sql`, each followed by CR LF, as one entry.
void add_log(const QStringList& sql);

// The program's one connection (made by the main window at start-up).
extern std::unique_ptr<DBConn> dbTalven;
extern TDBParameters DBParameters;
extern QStringList LogsQuerys;
extern data::TFDGUIxWaitCursor FDBWaitCursor;
