// A throwaway database behind the data source TALVEN for one test, on
// SQLite3 ODBC (a file in the test's directory) or on the PostgreSQL cluster
// that CTest starts, and the list of statements the query components ran.
#pragma once

#include "database/DBobj.h"
#include "platform/data/sql_query.h"
#include "platform/odbc/odbc.h"
#include "tests/support/odbc_test_env.h"

#include <QStringList>
#include <memory>
#include <optional>
#include <string>

namespace dbtest {

enum class Backend { Sqlite, Postgres };

inline const char* backendName(Backend b) { return b == Backend::Sqlite ? "SQLite" : "PostgreSQL"; }
inline const char* kindName(TDBAccess k) {
    switch (k) {
    case BDAdo: return "ADO";
    case BDSqlConn: return "dbExpress";
    case BDFireDac: return "FireDAC";
    default: return "other";
    }
}

// The data source TALVEN on a fresh database of the backend. Throws when
// TALVEN does not reach that backend.
class Database {
public:
    explicit Database(Backend backend) : backend_(backend) {
        if (backend == Backend::Sqlite) {
            env_.addSqliteDsn(u"TALVEN"_qs, env_.filePath(u"talven.db"_qs));
        } else {
            scratch_.emplace(vextest::Engine::Postgres);
            env_.addPostgresDsn(u"TALVEN"_qs, scratch_->name());
        }
        vextest::requireDbms(*otherClient(),
                             backend == Backend::Sqlite ? vextest::Dbms::SQLite : vextest::Dbms::PostgreSQL,
                             u"TALVEN"_qs);
    }
    Backend backend() const { return backend_; }
    // The scratch database's name on the PostgreSQL server (empty on SQLite).
    QString serverDatabase() const { return scratch_ ? scratch_->name() : QString(); }
    vextest::OdbcTestEnv& env() { return env_; }

    TDBParameters parameters(TDBAccess kind) const {
        TDBParameters p;
        p.Alias = u"TALVEN"_qs;
        p.Username = QString::fromUtf16(vextest::kServerUser);
        p.Password = QString::fromUtf16(vextest::kServerPassword);
        p.Tipo = kind;
        return p;
    }
    // A second client of the same database, beside the program's connection.
    std::unique_ptr<odbc::Connection> otherClient() const {
        auto c = std::make_unique<odbc::Connection>();
        c->open(u"DSN=TALVEN;UID=sysdba;PWD=bluefoxes"_qs);
        return c;
    }
    void exec(const QString& sql) const {
        auto c = otherClient();
        odbc::Statement st(*c);
        st.execDirect(sql);
    }
    // The first column of every row of `sql`, as text.
    QStringList column(const QString& sql) const {
        auto c = otherClient();
        odbc::Statement st(*c);
        st.execDirect(sql);
        QStringList out;
        while (st.fetch()) out << st.text(0);
        return out;
    }

private:
    Backend backend_;
    vextest::OdbcTestEnv env_;
    std::optional<vextest::ScratchDatabase> scratch_;
};

// Records the text of every statement the query components run while it lives.
class StatementRecorder {
public:
    StatementRecorder() {
        data::TCustomSQLQuery::setStatementHookForTesting([this](const QString& sql) { statements << sql; });
    }
    ~StatementRecorder() { data::TCustomSQLQuery::setStatementHookForTesting({}); }
    StatementRecorder(const StatementRecorder&) = delete;
    StatementRecorder& operator=(const StatementRecorder&) = delete;
    QStringList statements;
};

}  // namespace dbtest
