// The locale's character set must not decide what reaches the SQLite3 driver,
// which has no W functions.
#include "platform/odbc/odbc.h"
#include "tests/support/odbc_test_env.h"
#include "tests/support/process_locale.h"

#include <gtest/gtest.h>

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <string>
#include <vector>

namespace vextest {
namespace {

const QString kName = QStringLiteral("SEñOR PéREZ O'Brien ü €");

class CLocaleTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cLocale_.ok());
        env_.addSqliteDsn(QStringLiteral("TALVEN"), env_.filePath(QStringLiteral("talven.db")));
        conn_.open(QStringLiteral("DSN=TALVEN"));
        odbc::Statement s(conn_);
        s.execDirect(QStringLiteral("create table t (id integer, name varchar(60))"));
    }
    void TearDown() override { conn_.close(); }

    // The C locale from before anything of ODBC is made: the driver manager
    // settles its own conversion when its first handles are allocated.
    ProcessLocale cLocale_{"C"};
    OdbcTestEnv env_;
    odbc::Connection conn_;
};

TEST_F(CLocaleTest, TextRoundTripsThroughTheCore) {
    odbc::Statement s(conn_);
    s.execDirect(QStringLiteral("insert into t values (1, 'SEñOR PéREZ O''Brien ü €')"));
    s.execDirect(QStringLiteral("select name, length(name) from t where name = 'SEñOR PéREZ O''Brien ü €'"));
    ASSERT_TRUE(s.fetch());
    EXPECT_EQ(s.text(0), kName);
    EXPECT_EQ(s.int64(1), kName.size());
}

// Without the core's own conversion the driver manager would have mangled
// the text: this is what the test above guards against.
TEST_F(CLocaleTest, TheDriverManagersOwnConversionWouldCorruptIt) {
    SQLHSTMT h = SQL_NULL_HSTMT;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, conn_.handle(), &h)));
    const QString sql = QStringLiteral("insert into t values (2, 'SEñOR PéREZ O''Brien ü €')");
    std::vector<SQLWCHAR> w(sql.utf16(), sql.utf16() + sql.size() + 1);
    SQLExecDirectW(h, w.data(), static_cast<SQLINTEGER>(sql.size()));
    SQLFreeHandle(SQL_HANDLE_STMT, h);

    odbc::Statement s(conn_);
    s.execDirect(QStringLiteral("select name from t where id = 2"));
    if (s.fetch()) {
        EXPECT_NE(s.text(0), kName);
    }
}

}  // namespace
}  // namespace vextest
