// A throwaway agent database for the settings tests, reached through the
// real ODBC driver: a SQLite file in the test's directory, or a scratch
// database on the PostgreSQL server that CTest started (fixture pg_server).
// The test's own odbc.ini and odbcinst.ini come from vextest::OdbcTestEnv.
#pragma once

#include "database/DBobj.h"
#include "schema/schema.h"
#include "tests/support/odbc_test_env.h"

#include <QString>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace vex::test {

enum class Engine { SQLite, PostgreSQL };

std::vector<Engine> allEngines();
std::string engineName(Engine e);
inline void PrintTo(Engine e, std::ostream* os) { *os << engineName(e); }

class SettingsDb {
public:
    // An empty database holding the agent's tables, and an open connection
    // (FireDAC kind, the program's default) on the data source "TALVEN".
    // Throws when the database or the connection cannot be made.
    explicit SettingsDb(Engine engine);
    ~SettingsDb();

    DBConn& conn() { return *conn_; }
    schema::Dialect dialect() const { return dialect_; }

private:
    vextest::OdbcTestEnv env_;
    std::unique_ptr<vextest::ScratchDatabase> server_;
    std::unique_ptr<DBConn> conn_;
    schema::Dialect dialect_;
};

}  // namespace vex::test
