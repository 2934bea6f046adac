// Connecting to the PostgreSQL and MariaDB test servers: refused logins,
// unknown data sources, and values that must not add keys to the string.
#include "platform/odbc/odbc.h"
#include "tests/support/odbc_test_env.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace vextest {
namespace {

QString login(const QString& password) {
    return QStringLiteral("UID=%1;PWD=%2").arg(QString::fromUtf16(kServerUser), odbc::quoteConnectionValue(password));
}

TEST(ServerConnect, RefusedLoginsCarryTheServersDiagnostics) {
    struct Case {
        const char* name;
        Engine engine;
        const char16_t* messagePart;
    } cases[] = {
        {"PostgreSQL", Engine::Postgres, u"password authentication failed"},
        {"MariaDB", Engine::MariaDb, u"Access denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OdbcTestEnv env;
        // One name per driver: the driver manager remembers a name's driver.
        const QString dsn = QStringLiteral("SRV_%1").arg(QString::fromLatin1(c.name));
        if (c.engine == Engine::Postgres)
            env.addPostgresDsn(dsn, QStringLiteral("postgres"));
        else
            env.addMariaDbDsn(dsn, QStringLiteral("mysql"));
        odbc::Connection conn;
        try {
            conn.open(QStringLiteral("DSN=%1;").arg(dsn) + login(QStringLiteral("wrong-secret")));
            FAIL() << "connected with a wrong password";
        } catch (const odbc::Error& e) {
            EXPECT_EQ(e.sqlState().size(), 5) << e.what();
            EXPECT_TRUE(e.driverMessage().contains(QString::fromUtf16(c.messagePart))) << e.what();
            EXPECT_TRUE(e.message().contains(QStringLiteral("DSN=") + dsn)) << "says what we were doing: " << e.what();
            EXPECT_FALSE(e.message().contains(QStringLiteral("wrong-secret"))) << "never shows the password: " << e.what();
            if (c.engine == Engine::MariaDb) {
                EXPECT_EQ(e.nativeCode(), 1045) << e.what();
            }
        }
        EXPECT_FALSE(conn.isOpen());
        // The same handle connects once the password is right.
        conn.open(QStringLiteral("DSN=%1;").arg(dsn) + login(QString::fromUtf16(kServerPassword)));
        EXPECT_TRUE(conn.isOpen());
        EXPECT_FALSE(conn.usesNarrowApi());
    }
}

TEST(ServerConnect, ReportsTheEngine) {
    struct Case {
        Engine engine;
        const char16_t* dbms;
    } cases[] = {{Engine::Postgres, u"PostgreSQL"}, {Engine::MariaDb, u"MariaDB"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.dbms).toStdString());
        OdbcTestEnv env;
        odbc::Connection conn;
        conn.open(serverConnectionString(c.engine, c.engine == Engine::Postgres ? QStringLiteral("postgres")
                                                                               : QStringLiteral("mysql")));
        EXPECT_TRUE(conn.dbmsName().contains(QString::fromUtf16(c.dbms), Qt::CaseInsensitive))
            << conn.dbmsName().toStdString();
        EXPECT_FALSE(conn.driverName().isEmpty());
    }
}

// A password holding ; { } and blanks reaches the server whole, and a value
// holding "key=value" pieces cannot add keys.
TEST(ServerConnect, QuotedValuesReachTheDriverWholeAndAddNoKeys) {
    OdbcTestEnv env;
    const QString odd = QStringLiteral(" p;w}d{x=1; ");
    // The role is the server's, shared by every test process: one of our own.
    const QString role = QStringLiteral("oddpass_%1").arg(QCoreApplication::applicationPid());
    {
        odbc::Connection admin;
        admin.open(serverConnectionString(Engine::Postgres, QStringLiteral("postgres")));
        odbc::Statement s(admin);
        s.execDirect(QStringLiteral("drop role if exists %1").arg(role));
        s.execDirect(QStringLiteral("create role %1 login password '%2'").arg(role, odd));
    }
    const QString port = QString::number(serverPort(Engine::Postgres));
    env.addPostgresDsn(QStringLiteral("SRV"), QStringLiteral("postgres"));

    odbc::Connection conn;
    conn.open(QStringLiteral("DSN=SRV;UID=") + role + QStringLiteral(";PWD=") + odbc::quoteConnectionValue(odd));
    EXPECT_TRUE(conn.isOpen());
    conn.close();

    // Unquoted, the same text would end the password at the first ";" and
    // be refused; quoted, a database name with keys in it is one odd name.
    odbc::Connection other;
    try {
        other.open(QStringLiteral("DSN=SRV;") + login(QString::fromUtf16(kServerPassword)) +
                   QStringLiteral(";Database=") + odbc::quoteConnectionValue(QStringLiteral("nosuch;Database=postgres")));
        FAIL() << "the value added a Database key";
    } catch (const odbc::Error& e) {
        EXPECT_TRUE(e.driverMessage().contains(QStringLiteral("nosuch;Database=postgres"))) << e.what();
    }
}

}  // namespace
}  // namespace vextest
