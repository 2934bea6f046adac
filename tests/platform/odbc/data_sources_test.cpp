// The driver of a data source, read from unixODBC's user and system lists.
#include "platform/odbc/odbc.h"
#include "tests/support/odbc_test_env.h"

#include <gtest/gtest.h>

namespace vextest {
namespace {

TEST(DataSourceDriver, ListEntryFirstThenDriverKeyCaseAside) {
    OdbcTestEnv env;
    // Listed in [ODBC Data Sources] with a text other than its Driver key.
    env.addDsn(DsnList::User, QStringLiteral("Talven"), QStringLiteral("SQLite3"), {},
               QStringLiteral("Microsoft Access Driver (*.mdb)"));
    // Not listed: its own Driver key answers.
    env.addDsn(DsnList::User, QStringLiteral("OnlySection"), QStringLiteral("PostgreSQL Unicode"), {});
    // Listed with an empty entry: the list answers empty, its Driver key
    // notwithstanding, so that the next list is asked.
    env.addDsn(DsnList::User, QStringLiteral("EmptyEntry"), QStringLiteral("MariaDB Unicode"), {}, QString());
    env.addDsn(DsnList::System, QStringLiteral("EmptyEntry"), QStringLiteral("SQLite3"), {}, QString());
    env.addDsn(DsnList::System, QStringLiteral("SysOnly"), QStringLiteral("SQLite3"), {},
               QStringLiteral("Adaptive Server Enterprise"));
    env.addDsn(DsnList::System, QStringLiteral("TALVEN"), QStringLiteral("SQLite3"), {},
               QStringLiteral("SQL Server"));

    struct Case {
        const char16_t* dsn;
        const char16_t* user;
        const char16_t* system;
    } cases[] = {
        {u"Talven", u"Microsoft Access Driver (*.mdb)", u"SQL Server"},
        {u"TALVEN", u"Microsoft Access Driver (*.mdb)", u"SQL Server"},
        {u"talven", u"Microsoft Access Driver (*.mdb)", u"SQL Server"},
        {u"ONLYSECTION", u"PostgreSQL Unicode", u""},
        {u"emptyentry", u"", u""},
        {u"SYSONLY", u"", u"Adaptive Server Enterprise"},
        {u"NOWHERE", u"", u""},
        {u"", u"", u""},
    };
    for (const auto& c : cases) {
        const QString dsn = QString::fromUtf16(c.dsn);
        SCOPED_TRACE(dsn.toStdString());
        EXPECT_EQ(odbc::userDataSourceDriver(dsn), QString::fromUtf16(c.user));
        EXPECT_EQ(odbc::systemDataSourceDriver(dsn), QString::fromUtf16(c.system));
    }
}

// Tests rewrite the lists between cases within one process: every lookup
// must see the files as they are now.
TEST(DataSourceDriver, SeesFilesRewrittenInTheSameProcess) {
    OdbcTestEnv env;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const QString driver = QStringLiteral("Driver number %1").arg(round);
        env.writeIni(DsnList::User, QStringLiteral("[ODBC Data Sources]\nTALVEN = %1\n\n[TALVEN]\nDriver = x\n")
                                        .arg(driver)
                                        .toUtf8());
        EXPECT_EQ(odbc::userDataSourceDriver(QStringLiteral("TALVEN")), driver);
        env.writeIni(DsnList::User, QByteArray());
        EXPECT_EQ(odbc::userDataSourceDriver(QStringLiteral("TALVEN")), QString());
    }
}

TEST(DataSourceDriver, EachEnvironmentSeesOnlyItsOwnLists) {
    {
        OdbcTestEnv first;
        first.addSqliteDsn(QStringLiteral("FIRST"), first.filePath(QStringLiteral("a.db")));
        EXPECT_EQ(odbc::userDataSourceDriver(QStringLiteral("FIRST")), QStringLiteral("SQLite3"));
    }
    OdbcTestEnv second;
    EXPECT_EQ(odbc::userDataSourceDriver(QStringLiteral("FIRST")), QString());
}

}  // namespace
}  // namespace vextest
