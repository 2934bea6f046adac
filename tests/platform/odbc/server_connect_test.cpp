// Connecting to the PostgreSQL and MariaDB test servers: refused logins,
// unknown data sources, values that must not add keys to the string, and
// PostgreSQL sessions that must read a backslash as itself.
#include "platform/odbc/odbc.h"
#include "tests/support/odbc_test_env.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <unistd.h>

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

// Every way a PostgreSQL session can start with standard_conforming_strings
// off: the role's and the database's defaults, the data source's libpq
// options and its ConnSettings (run by the driver while connecting). Text
// quoted the program's way (quotes doubled, nothing else) must be stored as
// written, and nothing after the literal may run.
TEST(ServerConnect, PostgresSessionsReadBackslashesAsThemselves) {
    const QString role = QStringLiteral("vt_nonstd_%1").arg(::getpid());
    struct Role {
        QString name;
        ~Role() {
            try {
                odbc::Connection admin;
                admin.open(serverConnectionString(Engine::Postgres, QStringLiteral("postgres")));
                odbc::Statement(admin).execDirect(QStringLiteral("drop role if exists ") + name);
            } catch (...) {
            }
        }
    } dropLater{role};
    ScratchDatabase db(Engine::Postgres);
    ScratchDatabase offDb(Engine::Postgres);  // its own default is off
    {
        odbc::Connection admin;
        admin.open(serverConnectionString(Engine::Postgres, QStringLiteral("postgres")));
        odbc::Statement s(admin);
        s.execDirect(QStringLiteral("drop role if exists %1").arg(role));
        s.execDirect(QStringLiteral("create role %1 login password '%2'").arg(role, QString::fromUtf16(kServerPassword)));
        s.execDirect(QStringLiteral("alter role %1 set standard_conforming_strings = off").arg(role));
        s.execDirect(QStringLiteral("alter database %1 set standard_conforming_strings = off").arg(offDb.name()));
    }
    for (const ScratchDatabase* d : {&db, &offDb}) {
        odbc::Connection owner;
        owner.open(d->connectionString());
        odbc::Statement s(owner);
        s.execDirect(QStringLiteral("create table t (name varchar(80))"));
        s.execDirect(QStringLiteral("grant all on t to public"));
    }

    const QString hostile = QStringLiteral("\\'); delete from t; -- C:\\ruta\\? \\\\ fin");
    QString quoted = hostile;
    quoted.replace(u'\'', QStringLiteral("''"));
    quoted = u'\'' + quoted + u'\'';

    const QString port = QString::number(serverPort(Engine::Postgres));
    const QString sysdba = QString::fromUtf16(kServerUser);
    struct Case {
        const char* how;
        const char* dsn;
        const ScratchDatabase& database;
        DsnKeys extra;
        QString user;
        bool startsOff;  // the session's own default, before any SET
    } cases[] = {
        {"role default", "PG_ROLE", db, {}, role, true},
        {"database default", "PG_DATABASE", offDb, {}, sysdba, true},
        {"libpq options of the data source", "PG_PQOPT", db,
         {{QStringLiteral("pqopt"), QStringLiteral("options=-cstandard_conforming_strings=off")}}, sysdba, true},
        {"ConnSettings of the data source", "PG_CONNSETTINGS", db,
         {{QStringLiteral("ConnSettings"),
           QStringLiteral("set standard_conforming_strings=off;set application_name=vt_connsettings")}},
         sysdba, false},
    };
    OdbcTestEnv env;
    for (const Case& c : cases) {
        env.addDsn(DsnList::User, QString::fromLatin1(c.dsn), QStringLiteral("PostgreSQL Unicode"),
                   DsnKeys{{QStringLiteral("Servername"), QStringLiteral("127.0.0.1")},
                           {QStringLiteral("Port"), port},
                           {QStringLiteral("Database"), c.database.name()}} +
                       c.extra);
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        odbc::Connection conn;
        conn.open(QStringLiteral("DSN=%1;UID=%2;PWD=%3")
                      .arg(QString::fromLatin1(c.dsn), c.user, QString::fromUtf16(kServerPassword)));
        const auto scalar = [&conn](const QString& sql) {
            odbc::Statement s(conn);
            s.execDirect(sql);
            EXPECT_TRUE(s.fetch()) << sql.toStdString();
            return s.text(0);
        };
        if (c.startsOff)
            EXPECT_EQ(scalar(QStringLiteral("select reset_val from pg_settings where name = 'standard_conforming_strings'")),
                      QStringLiteral("off"))
                << "the case must start off, or it proves nothing";
        else
            EXPECT_EQ(scalar(QStringLiteral("show application_name")), QStringLiteral("vt_connsettings"))
                << "ConnSettings ran before the session was set";
        EXPECT_EQ(scalar(QStringLiteral("show standard_conforming_strings")), QStringLiteral("on"));

        odbc::Statement(conn).execDirect(QStringLiteral("delete from t"));
        odbc::Statement(conn).execDirect(QStringLiteral("insert into t (name) values ('keep')"));
        odbc::Statement(conn).execDirect(QStringLiteral("insert into t (name) values (%1)").arg(quoted));
        EXPECT_EQ(scalar(QStringLiteral("select count(*) from t")), QStringLiteral("2")) << "the delete never ran";
        EXPECT_EQ(scalar(QStringLiteral("select name from t where name <> 'keep'")), hostile);
        EXPECT_EQ(scalar(QStringLiteral("select count(*) from t where name = %1").arg(quoted)), QStringLiteral("1"));
    }
}

// When the setting cannot be made to last, the connection is refused with a
// reason, never left open on the server's own reading of backslashes.
TEST(ServerConnect, APostgresSessionWhoseSettingCannotBeKeptIsRefused) {
    ScratchDatabase db(Engine::Postgres);
    {
        odbc::Connection owner;
        owner.open(db.connectionString());
        odbc::Statement s(owner);
        s.execDirect(QStringLiteral("create table p (id integer primary key)"));
        s.execDirect(QStringLiteral("create table c (pid integer references p deferrable initially deferred)"));
    }
    OdbcTestEnv env;
    const DsnKeys keys{{QStringLiteral("Servername"), QStringLiteral("127.0.0.1")},
                       {QStringLiteral("Port"), QString::number(serverPort(Engine::Postgres))},
                       {QStringLiteral("Database"), db.name()},
                       // A transaction that can only fail at its commit: with it
                       // the session's setting would be rolled back too.
                       {QStringLiteral("ConnSettings"), QStringLiteral("begin;insert into c values (1)")}};
    env.addDsn(DsnList::User, QStringLiteral("PG_DOOMED"), QStringLiteral("PostgreSQL Unicode"), keys);
    odbc::Connection conn;
    try {
        conn.open(QStringLiteral("DSN=PG_DOOMED;") + login(QString::fromUtf16(kServerPassword)));
        FAIL() << "connected although standard_conforming_strings could not be kept";
    } catch (const odbc::Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("standard_conforming_strings cannot be set on"))) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("DSN=PG_DOOMED"))) << e.what();
        EXPECT_EQ(e.sqlState(), QStringLiteral("23503")) << e.what();
    }
    EXPECT_FALSE(conn.isOpen());
}

}  // namespace
}  // namespace vextest
