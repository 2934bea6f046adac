// A throwaway agent database for the settings tests, reached through the
// real ODBC driver: a SQLite file in the test's directory, or a database on
// the PostgreSQL server that the test run started. The test process writes
// its own odbc.ini and odbcinst.ini and points ODBCINI and ODBCSYSINI at them.
#pragma once

#include "database/DBobj.h"
#include "schema/schema.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace vex::test {

enum class Engine { SQLite, PostgreSQL };

// The engines this run can test: SQLite always, PostgreSQL when the server
// fixture is up.
std::vector<Engine> availableEngines();
std::string engineName(Engine e);

class SettingsDb {
public:
    // An empty database (its files under `dir`) and an open connection
    // (FireDAC kind) on a data source of its own. Fails the current test and
    // gives nullptr when it cannot be made.
    static std::unique_ptr<SettingsDb> start(Engine engine, const QString& dir);
    ~SettingsDb();

    DBConn& conn() { return *conn_; }
    schema::Dialect dialect() const { return dialect_; }

private:
    SettingsDb() = default;
    std::unique_ptr<DBConn> conn_;
    schema::Dialect dialect_ = schema::Dialect::SQLite;
    std::string dropCommand_;
};

}  // namespace vex::test
