// DBConn without a server: engine detection from the data-source lists, the
// kinds that open nothing, naming, the Access paths and the ADO string built
// from names that hold ";" or quotes.
#include "database/DBobj.h"
#include "platform/odbc/odbc.h"
#include "tests/support/odbc_test_env.h"

#include <gtest/gtest.h>

namespace {

using vextest::DsnList;
using vextest::OdbcTestEnv;

// The engine Connect finds for TALVEN (a kind that opens nothing).
QString engineOf(const QString& alias = u"TALVEN"_qs) {
    DBConn c;
    TDBParameters p;
    p.Alias = alias;
    p.Tipo = BDUnDefined;
    EXPECT_TRUE(c.Connect(p, {}));
    return c.TipoMotor;
}

TEST(EngineDetection, DriverNamesGiveTheEngineOfTheLastMatchingTest) {
    struct Case {
        const char* driver;
        const char* engine;
    } cases[] = {
        {"Microsoft Access Driver (*.mdb)", "ACCESS"},
        {"InterBase 6 ODBC", "INTERBASE"},
        {"Adaptive Server Anywhere 9.0", "SYBASE"},
        {"IB7 ODBC", "INTERBASE"},
        {"SQL Server", "SQLSERVER"},
        {"Oracle in OraClient11g", "ORACLE"},
        {"MySQL ODBC 8.0 Unicode Driver", "MYSQL"},
        {"Microsoft dBase Driver (*.dbf)", "DBF"},
        {"Microsoft Access dBASE Driver (*.dbf, *.ndx)", "DBF"},
        {"SQL Server Oracle bridge", "ORACLE"},
        {"SQLSERVER Native", ""},
        {"mysql odbc", "MYSQL"},
        {"oRaClE", "ORACLE"},
        {"PostgreSQL Unicode", ""},
        {"SQLite3", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.driver);
        OdbcTestEnv env;
        env.addDsn(DsnList::User, u"TALVEN"_qs, QString::fromUtf8(c.driver), {}, QString::fromUtf8(c.driver));
        EXPECT_EQ(engineOf(), QString::fromUtf8(c.engine));
    }
}

TEST(EngineDetection, UserListFirstThenSystemListNamesWithoutCase) {
    {
        SCOPED_TRACE("per-user driver decides");
        OdbcTestEnv env;
        env.addDsn(DsnList::User, u"TALVEN"_qs, u"MySQL ODBC"_qs, {}, u"MySQL ODBC"_qs);
        env.addDsn(DsnList::System, u"TALVEN"_qs, u"Oracle"_qs, {}, u"Oracle"_qs);
        EXPECT_EQ(engineOf(), u"MYSQL"_qs);
        EXPECT_EQ(engineOf(u"talven"_qs), u"MYSQL"_qs);
    }
    {
        SCOPED_TRACE("system list when the user list lacks it");
        OdbcTestEnv env;
        env.addDsn(DsnList::System, u"TALVEN"_qs, u"Oracle"_qs, {}, u"Oracle"_qs);
        EXPECT_EQ(engineOf(u"Talven"_qs), u"ORACLE"_qs);
    }
    {
        SCOPED_TRACE("an empty per-user value reads the system list");
        OdbcTestEnv env;
        env.writeIni(DsnList::User, "[ODBC Data Sources]\nTALVEN =\n");
        env.addDsn(DsnList::System, u"TALVEN"_qs, u"SQL Server"_qs, {}, u"SQL Server"_qs);
        EXPECT_EQ(engineOf(), u"SQLSERVER"_qs);
    }
    {
        SCOPED_TRACE("an empty per-user value reads the system list, whatever its section says");
        OdbcTestEnv env;
        env.addDsn(DsnList::User, u"TALVEN"_qs, u"MySQL ODBC"_qs, {}, QString());
        env.addDsn(DsnList::System, u"TALVEN"_qs, u"SQL Server"_qs, {}, u"Oracle"_qs);
        EXPECT_EQ(engineOf(), u"ORACLE"_qs);
    }
    {
        SCOPED_TRACE("found nowhere");
        OdbcTestEnv env;
        EXPECT_EQ(engineOf(), QString());
    }
}

TEST(Connect, KindsWithoutFrameworkOpenNothing) {
    OdbcTestEnv env;
    env.addDsn(DsnList::User, u"TALVEN"_qs, u"Oracle"_qs, {}, u"Oracle"_qs);
    for (TDBAccess k : {BDParadox, BDBDE, BDUnDefined}) {
        SCOPED_TRACE(static_cast<int>(k));
        DBConn c;
        TDBParameters p;
        p.Alias = u"TALVEN"_qs;
        p.Tipo = k;
        p.UniDirectional = true;
        EXPECT_TRUE(c.Connect(p, {}));
        EXPECT_EQ(c.TipoMotor, k == BDParadox ? u"PARADOX"_qs : u"ORACLE"_qs);
        EXPECT_EQ(c.ADODB(), nullptr);
        EXPECT_EQ(c.SQLDB(), nullptr);
        EXPECT_EQ(c.FDCDB(), nullptr);
        EXPECT_TRUE(c.UniDirectional);
        EXPECT_FALSE(c.IsConnected());
    }
}

TEST(Connect, SecondKindLeavesTheFirstComponentAsItWas) {
    OdbcTestEnv env;
    env.addSqliteDsn(u"TALVEN"_qs, env.filePath(u"t.db"_qs));
    DBConn c;
    TDBParameters p;
    p.Alias = u"TALVEN"_qs;
    p.Tipo = BDSqlConn;
    ASSERT_TRUE(c.Connect(p, {}));
    p.Tipo = BDFireDac;
    ASSERT_TRUE(c.Connect(p, {}));
    EXPECT_TRUE(c.SQLDB()->Connected());
    c.DeConnect();
    EXPECT_FALSE(c.IsConnected());
    EXPECT_FALSE(c.FDCDB()->Connected());
    EXPECT_TRUE(c.SQLDB()->Connected());  // no longer reached by DeConnect
}

TEST(Connect, AnotherDataSourceOnAnOpenComponentIsReallyOpened) {
    OdbcTestEnv env;
    env.addSqliteDsn(u"TALVEN"_qs, env.filePath(u"talven.db"_qs));
    env.addSqliteDsn(u"OTRA"_qs, env.filePath(u"otra.db"_qs));
    {
        odbc::Connection c;
        c.open(u"DSN=OTRA"_qs);
        odbc::Statement st(c);
        st.execDirect(u"create table solo_en_otra (id integer)"_qs);
    }
    for (TDBAccess k : {BDAdo, BDSqlConn, BDFireDac}) {
        SCOPED_TRACE(static_cast<int>(k));
        DBConn c;
        TDBParameters p;
        p.Alias = u"TALVEN"_qs;
        p.Tipo = k;
        ASSERT_TRUE(c.Connect(p, {}));
        QStringList tables;
        c.GetTableNames(tables);
        EXPECT_FALSE(tables.contains(u"solo_en_otra"_qs));
        // No DeConnect in between: the open component must follow the request.
        p.Alias = u"OTRA"_qs;
        ASSERT_TRUE(c.Connect(p, {}));
        EXPECT_TRUE(c.IsConnected());
        c.GetTableNames(tables);
        EXPECT_TRUE(tables.contains(u"solo_en_otra"_qs)) << tables.join(u',').toStdString();
        // A request for a data source that is not there leaves it closed.
        p.Alias = u"NOEXISTE"_qs;
        EXPECT_FALSE(c.Connect(p, {}));
        EXPECT_FALSE(c.IsConnected());
    }
}

TEST(Connect, AdoQuotesNamesSoTheyCannotAddKeys) {
    OdbcTestEnv env;
    env.addSqliteDsn(u"TALVEN"_qs, env.filePath(u"t.db"_qs));
    DBConn c;
    TDBParameters p;
    p.Alias = u"X;Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/etc/passwd"_qs;
    p.Password = u"a'b\"c;d"_qs;
    p.Tipo = BDAdo;
    // Not an identifier: the naming refuses it unless a name is given.
    EXPECT_THROW(c.Connect(p, {}), data::EDatabaseError);
    EXPECT_FALSE(c.Connect(p, u"Principal"_qs));
    const auto pairs = data::parseOleDbConnectionString(c.ADODB()->ConnectionString);
    ASSERT_EQ(pairs.size(), 5);
    EXPECT_EQ(pairs[0].second, u"MSDASQL.1"_qs);
    EXPECT_EQ(pairs[1].second, p.Password);
    EXPECT_EQ(pairs[4].first, u"Data Source"_qs);
    EXPECT_EQ(pairs[4].second, p.Alias);
    EXPECT_EQ(c.ADODB()->odbcConnectionString(),
              u"DSN={X;Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/etc/passwd};UID=;PWD={a'b\"c;d}"_qs);
    // A plain name is written as the string always was.
    p.Alias = u"TALVEN"_qs;
    p.Password = u"bluefoxes"_qs;
    p.Username = u"sysdba"_qs;
    EXPECT_TRUE(c.Connect(p, {}));
    EXPECT_EQ(c.ADODB()->ConnectionString,
              u"Provider=MSDASQL.1;Password=bluefoxes;Persist Security Info=True;User ID=sysdba;Data Source=TALVEN"_qs);
}

TEST(Connect, AccessPathOpensTheFileThroughMdbToolsAndTheDataSourceNamesTheEngine) {
    OdbcTestEnv env;
    env.addDsn(DsnList::User, u"TALVEN"_qs, u"Microsoft Access Driver (*.mdb)"_qs, {},
               u"Microsoft Access Driver (*.mdb)"_qs);
    const QString missing = env.filePath(u"no existe.mdb"_qs);
    for (TDBAccess k : {BDAdo, BDFireDac}) {
        SCOPED_TRACE(static_cast<int>(k));
        DBConn c;
        TDBParameters p;
        p.Alias = u"TALVEN"_qs;
        p.Path = missing;
        p.Tipo = k;
        EXPECT_FALSE(c.Connect(p, {}));
        EXPECT_EQ(c.TipoMotor, u"ACCESS"_qs);
        if (k == BDAdo) {
            EXPECT_EQ(c.ADODB()->ConnectionString,
                      u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source="_qs + missing + u";Persist Security Info=False"_qs);
            EXPECT_EQ(c.ADODB()->odbcConnectionString(), u"DRIVER=MDBTools;DBQ="_qs + missing);
        } else {
            EXPECT_EQ(c.FDCDB()->DriverName, u"MSAcc"_qs);
            EXPECT_EQ(c.FDCDB()->Params, (QStringList{u"User_Name="_qs, u"Password="_qs, u"DataBase="_qs + missing,
                                                      u"ConnectionDef=Access_Demo"_qs}));
        }
    }
    // With neither a data source nor a path the ADO string stays empty.
    DBConn c;
    TDBParameters p;
    p.Tipo = BDAdo;
    EXPECT_FALSE(c.Connect(p, {}));  // the name "_" is fine; there is nothing to open
    EXPECT_EQ(c.ADODB()->ConnectionString, QString());
    EXPECT_EQ(c.ADODB()->Name(), u"_"_qs);
}

}  // namespace
