// Connecting through the SQLite3 and MDBTools drivers, which need no server.
#include "platform/odbc/odbc.h"
#include "tests/support/odbc_test_env.h"

#include <gtest/gtest.h>

#include <QFile>

namespace vextest {
namespace {

TEST(SqliteConnect, OpensAFileThroughItsDataSource) {
    OdbcTestEnv env;
    env.addSqliteDsn(QStringLiteral("TALVEN"), env.filePath(QStringLiteral("talven.db")));
    odbc::Connection conn;
    EXPECT_FALSE(conn.isOpen());
    conn.open(QStringLiteral("DSN=TALVEN"));
    EXPECT_TRUE(conn.isOpen());
    EXPECT_EQ(conn.dbmsName(), QStringLiteral("SQLite"));
    EXPECT_TRUE(conn.usesNarrowApi()) << "the SQLite3 driver has no W functions";
    EXPECT_THROW(conn.open(QStringLiteral("DSN=TALVEN")), odbc::Error) << "already open";
    conn.close();
    conn.close();  // harmless twice
    EXPECT_FALSE(conn.isOpen());
    EXPECT_THROW(conn.dbmsName(), odbc::Error);
}

TEST(SqliteConnect, FailuresSayWhatFailed) {
    OdbcTestEnv env;
    env.addSqliteDsn(QStringLiteral("NODIR"), env.filePath(QStringLiteral("missing-dir/x.db")));
    env.addDsn(DsnList::User, QStringLiteral("NOFILE"), QStringLiteral("SQLite3"),
               {{QStringLiteral("Database"), env.filePath(QStringLiteral("absent.db"))},
                {QStringLiteral("NoCreat"), QStringLiteral("1")}});
    env.addDsn(DsnList::User, QStringLiteral("NOMDB"), QStringLiteral("MDBTools"),
               {{QStringLiteral("DBQ"), env.filePath(QStringLiteral("absent.mdb"))}});
    struct Case {
        const char* name;
        const char16_t* connectionString;
        const char16_t* sqlState;  // nullptr: any
    } cases[] = {
        {"SQLite file in a missing directory", u"DSN=NODIR", nullptr},
        {"SQLite file absent and not to be made", u"DSN=NOFILE", nullptr},
        {"unknown data source", u"DSN=NO_SUCH_DSN", u"IM002"},
        {"Access file absent (the driver says nothing)", u"DSN=NOMDB", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        odbc::Connection conn;
        const QString cs = QString::fromUtf16(c.connectionString);
        try {
            conn.open(cs);
            FAIL() << "connected";
        } catch (const odbc::Error& e) {
            if (c.sqlState) {
                EXPECT_EQ(e.sqlState(), QString::fromUtf16(c.sqlState)) << e.what();
            }
            EXPECT_FALSE(e.driverMessage().isEmpty()) << e.what();
            EXPECT_TRUE(e.message().contains(cs)) << e.what();
        }
        EXPECT_FALSE(conn.isOpen());
    }
    EXPECT_FALSE(QFile::exists(env.filePath(QStringLiteral("absent.db"))));
}

}  // namespace
}  // namespace vextest
