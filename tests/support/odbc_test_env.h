// Data sources and throwaway databases for tests that talk to real ODBC drivers.
//
// An OdbcTestEnv gives one test its own unixODBC configuration: an odbcinst.ini
// naming the installed drivers ("SQLite3", "PostgreSQL Unicode", "MariaDB
// Unicode", "MDBTools", by full library path), an empty user odbc.ini
// (ODBCINI, in the environment's own temporary directory) and an empty system
// odbc.ini (ODBCSYSINI), both variables restored when it goes. Data sources
// are added to either list; each add rewrites the file at once and empties
// unixODBC's in-process cache of ini values (kept 20 s otherwise).
//
// unixODBC reads ODBCSYSINI only once per process, so the system directory
// is one per process (emptied by each environment): have one OdbcTestEnv
// alive at a time.
//
// The driver manager keeps its own copy of each data source's Driver key for
// 20 s, which no call can empty. When a name this process has already written
// with one of the installed drivers comes back with another driver (TALVEN on
// SQLite, then on PostgreSQL), the add therefore waits that copy out (about
// 21 s, said on stderr) rather than let the new test run on the old engine. ctest runs one case per process
// and never waits. A support that names an engine also checks the engine of
// the connection it opens (requireDbms).
//
// PostgreSQL and MariaDB tests need the servers that CTest starts: register
// the test binary with
//     vex_add_gtest(my_test SOURCES ... LIBS vex::test_odbc ...
//                   PROPERTIES FIXTURES_REQUIRED pg_server)      # or mariadb_server,
//                                                                # or db_servers for both
// and give each test its own database with ScratchDatabase, e.g.
//     vextest::OdbcTestEnv env;
//     vextest::ScratchDatabase db(vextest::Engine::Postgres);
//     env.addPostgresDsn("TALVEN", db.name());
//     // connect with "DSN=TALVEN;UID=sysdba;PWD=bluefoxes"
#pragma once

#include "tests/support/qstring_printer.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QTemporaryDir>

#include <optional>

namespace odbc {
class Connection;
}

namespace vextest {

// The servers' one login (the program's built-in user and password).
inline constexpr char16_t kServerUser[] = u"sysdba";
inline constexpr char16_t kServerPassword[] = u"bluefoxes";

enum class DsnList { User, System };
enum class Engine { Postgres, MariaDb };

using DsnKeys = QList<QPair<QString, QString>>;

class OdbcTestEnv {
public:
    // Makes the directory and the three files, then points ODBCINI and
    // ODBCSYSINI at them. Throws std::runtime_error when the directory
    // cannot be made.
    OdbcTestEnv();
    // Restores ODBCINI and ODBCSYSINI as they were; removes the directory.
    ~OdbcTestEnv();
    OdbcTestEnv(const OdbcTestEnv&) = delete;
    OdbcTestEnv& operator=(const OdbcTestEnv&) = delete;

    // The environment's own temporary directory (user list, database files),
    // and a path inside it.
    QString dir() const;
    QString filePath(const QString& name) const;
    // The odbc.ini of a list.
    QString iniPath(DsnList list) const;

    // Adds section [name] with "Driver = driver" and keys (in order) to a
    // list. listEntry, when set, is written as the data source's entry in the
    // list's [ODBC Data Sources] section (std::nullopt: no entry at all).
    void addDsn(DsnList list, const QString& name, const QString& driver, const DsnKeys& keys,
                std::optional<QString> listEntry = std::nullopt);
    // Replaces a list's whole odbc.ini with text, for cases addDsn cannot write.
    void writeIni(DsnList list, const QByteArray& text);

    // SQLite3 driver on file (made by the driver on first connect).
    void addSqliteDsn(const QString& name, const QString& file, DsnList list = DsnList::User);
    // PostgreSQL Unicode driver on the test server's database (TCP, no
    // credentials in the DSN: connect with UID and PWD).
    void addPostgresDsn(const QString& name, const QString& database, DsnList list = DsnList::User);
    // MariaDB Unicode driver on the test server's database (TCP, no credentials).
    void addMariaDbDsn(const QString& name, const QString& database, DsnList list = DsnList::User);

private:
    struct Section {
        QString name;
        DsnKeys keys;
    };
    void rewrite(DsnList list);

    QTemporaryDir dir_;
    std::optional<QByteArray> savedOdbcIni_;
    std::optional<QByteArray> savedOdbcSysIni_;
    QList<Section> user_;
    QList<Section> system_;
    QList<QPair<QString, QString>> userEntries_;
    QList<QPair<QString, QString>> systemEntries_;
};

// The database products the tests run on, as the drivers name them
// (SQL_DBMS_NAME).
enum class Dbms { SQLite, PostgreSQL, MariaDB };
const char* dbmsName(Dbms dbms);
// Throws std::runtime_error when `connection`, which a test opened on
// `what` (a data-source name, say), is on another database product: a test
// that names an engine must never pass on another one.
void requireDbms(const odbc::Connection& connection, Dbms expected, const QString& what);

// Where the CTest-started servers listen. Throws std::runtime_error naming the
// fixture to require when the server is not running.
int serverPort(Engine engine);
// A DRIVER=... connection string to database on the test server, with the
// test login, needing no data source.
QString serverConnectionString(Engine engine, const QString& database);

// A fresh, uniquely named, empty database on a test server, dropped (even
// with sessions still on it) when the object goes.
class ScratchDatabase {
public:
    // Throws odbc::Error or std::runtime_error when the server is not there.
    explicit ScratchDatabase(Engine engine);
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    const QString& name() const { return name_; }
    Engine engine() const { return engine_; }
    // serverConnectionString(engine(), name()).
    QString connectionString() const;

private:
    Engine engine_;
    QString name_;
};

}  // namespace vextest
