// A connection to a fresh database on one engine, for tests that must hold on
// SQLite, PostgreSQL and MariaDB alike.
#pragma once

#include "platform/odbc/odbc.h"
#include "tests/support/odbc_test_env.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

namespace vextest {

enum class TestEngine { Sqlite, Postgres, MariaDb };

inline void PrintTo(TestEngine e, std::ostream* os) {
    *os << (e == TestEngine::Sqlite ? "SQLite" : e == TestEngine::Postgres ? "PostgreSQL" : "MariaDB");
}

inline std::string engineName(const testing::TestParamInfo<TestEngine>& info) {
    switch (info.param) {
    case TestEngine::Sqlite: return "SQLite";
    case TestEngine::Postgres: return "PostgreSQL";
    case TestEngine::MariaDb: return "MariaDB";
    }
    return "unknown";
}

// A data source on a fresh database of the engine; `conn` open on it. Each
// engine has its own data-source name: unixODBC's driver manager remembers a
// name's driver for a while within a process, out of reach of any reset.
class EngineTest : public testing::TestWithParam<TestEngine> {
protected:
    void SetUp() override {
        switch (GetParam()) {
        case TestEngine::Sqlite:
            env_.addSqliteDsn(dsn(), env_.filePath(QStringLiteral("test.db")));
            break;
        case TestEngine::Postgres:
            db_ = std::make_unique<ScratchDatabase>(Engine::Postgres);
            env_.addPostgresDsn(dsn(), db_->name());
            break;
        case TestEngine::MariaDb:
            db_ = std::make_unique<ScratchDatabase>(Engine::MariaDb);
            env_.addMariaDbDsn(dsn(), db_->name());
            break;
        }
        conn.open(connectionString());
        requireDbms(conn,
                    GetParam() == TestEngine::Sqlite     ? Dbms::SQLite
                    : GetParam() == TestEngine::Postgres ? Dbms::PostgreSQL
                                                         : Dbms::MariaDB,
                    dsn());
    }

    QString dsn() const {
        switch (GetParam()) {
        case TestEngine::Sqlite: return QStringLiteral("TEST_SQLITE");
        case TestEngine::Postgres: return QStringLiteral("TEST_PG");
        case TestEngine::MariaDb: return QStringLiteral("TEST_MARIADB");
        }
        return QString();
    }

    QString connectionString() const {
        return QStringLiteral("DSN=%1;UID=%2;PWD=%3")
            .arg(dsn(), QString::fromUtf16(kServerUser), QString::fromUtf16(kServerPassword));
    }

    // Runs sql and returns the first column of the first row as text.
    QString scalar(const QString& sql) {
        odbc::Statement s(conn);
        s.execDirect(sql);
        EXPECT_TRUE(s.fetch()) << sql.toStdString();
        return s.text(0);
    }

    void exec(const QString& sql) {
        odbc::Statement s(conn);
        s.execDirect(sql);
    }

    OdbcTestEnv env_;
    std::unique_ptr<ScratchDatabase> db_;
    odbc::Connection conn;
};

}  // namespace vextest
