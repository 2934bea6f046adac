// The core's behaviour that must hold alike on SQLite, PostgreSQL and MariaDB.
#include "tests/platform/odbc/engine_fixture.h"

#include "platform/runtime/exception.h"
#include "tests/support/process_locale.h"

#include <QStringList>

#include <cstdlib>

namespace vextest {
namespace {

using odbc::Value;

QString lengthFunction(TestEngine e) {
    return e == TestEngine::Sqlite ? QStringLiteral("length") : QStringLiteral("char_length");
}

TEST_P(EngineTest, ExecutesAndFetchesIntegersRealsTextAndNulls) {
    exec(QStringLiteral("create table t (id integer, amount double precision, name varchar(60), note varchar(60))"));
    odbc::Statement s(conn);
    s.execDirect(QStringLiteral("insert into t values (1, 2.5, 'uno', null), (2, null, null, 'dos'), "
                                "(3, -0.1, '', 'x'), (4, 1e300, 'big', 'y')"));
    EXPECT_FALSE(s.hasResultSet());
    EXPECT_EQ(s.rowsAffected(), 4);

    s.execDirect(QStringLiteral("select id, amount, name, note from t order by id"));
    ASSERT_TRUE(s.hasResultSet());
    ASSERT_EQ(s.columnCount(), 4);

    ASSERT_TRUE(s.fetch());
    EXPECT_EQ(s.int64(0), 1);
    EXPECT_EQ(s.value(0).kind, Value::Kind::Integer);
    EXPECT_DOUBLE_EQ(s.real(1), 2.5);
    EXPECT_EQ(s.text(1), QStringLiteral("2.5"));
    EXPECT_EQ(s.text(2), QStringLiteral("uno"));
    EXPECT_TRUE(s.isNull(3));
    EXPECT_EQ(s.text(3), QString());

    ASSERT_TRUE(s.fetch());
    EXPECT_TRUE(s.isNull(1));
    EXPECT_EQ(s.real(1), 0.0);
    EXPECT_EQ(s.int64(1), 0);
    EXPECT_TRUE(s.isNull(2));
    EXPECT_EQ(s.text(3), QStringLiteral("dos"));

    ASSERT_TRUE(s.fetch());
    EXPECT_DOUBLE_EQ(s.real(1), -0.1);
    EXPECT_FALSE(s.isNull(2)) << "empty text is not NULL";
    EXPECT_EQ(s.text(2), QString());
    EXPECT_THROW(s.int64(3), rtl::EConvertError);
    EXPECT_THROW(s.real(3), rtl::EConvertError);

    ASSERT_TRUE(s.fetch());
    EXPECT_EQ(s.real(1), 1e300);

    EXPECT_FALSE(s.fetch());
    EXPECT_FALSE(s.hasRow());
    EXPECT_THROW(s.value(0), rtl::Exception);

    s.execDirect(QStringLiteral("update t set note = 'z' where id > 2"));
    EXPECT_EQ(s.rowsAffected(), 2);
    s.execDirect(QStringLiteral("update t set note = 'z' where id > 100"));
    EXPECT_EQ(s.rowsAffected(), 0) << "an update of no rows is no error";
}

TEST_P(EngineTest, BigIntegersKeepEveryDigit) {
    exec(QStringLiteral("create table t (n bigint)"));
    exec(QStringLiteral("insert into t values (9007199254740993), (-9223372036854775807)"));
    odbc::Statement s(conn);
    s.execDirect(QStringLiteral("select n from t order by n"));
    ASSERT_TRUE(s.fetch());
    EXPECT_EQ(s.int64(0), -9223372036854775807LL);
    ASSERT_TRUE(s.fetch());
    EXPECT_EQ(s.int64(0), 9007199254740993LL);
    EXPECT_EQ(s.text(0), QStringLiteral("9007199254740993"));
}

TEST_P(EngineTest, NonAsciiTextRoundTripsAndIsStoredAsCharacters) {
    const QString name = QStringLiteral("SEñOR PéREZ O'Brien ü €");
    exec(QStringLiteral("create table t (name varchar(60))"));
    exec(QStringLiteral("insert into t values ('SEñOR PéREZ O''Brien ü €')"));
    EXPECT_EQ(scalar(QStringLiteral("select name from t")), name);
    // Stored as 23 characters, not as mis-decoded bytes read back the same way.
    EXPECT_EQ(scalar(QStringLiteral("select %1(name) from t").arg(lengthFunction(GetParam()))),
              QString::number(name.size()));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from t where name = 'SEñOR PéREZ O''Brien ü €'")),
              QStringLiteral("1"));
}

TEST_P(EngineTest, LongTextComesBackWhole) {
    QString longText;
    for (int i = 0; i < 3000; ++i) longText += QStringLiteral("ñandú-%1 ").arg(i % 10);
    exec(QStringLiteral("create table t (body text)"));
    exec(QStringLiteral("insert into t values ('%1')").arg(longText));
    EXPECT_EQ(scalar(QStringLiteral("select body from t")), longText);
}

TEST_P(EngineTest, LabelsAreThoseOfTheDriver) {
    exec(QStringLiteral("create table t (id integer, name varchar(10))"));
    exec(QStringLiteral("insert into t values (1, 'a')"));
    odbc::Statement s(conn);
    s.execDirect(QStringLiteral("select id, name AS Nombre, count(*) AS Cuantos, max(id) from t group by id, name"));
    ASSERT_EQ(s.columnCount(), 4);
    EXPECT_EQ(s.columnLabel(0), QStringLiteral("id"));
    if (GetParam() == TestEngine::Postgres) {
        // PostgreSQL folds unquoted names to lower case; the core passes that on.
        EXPECT_EQ(s.columnLabel(1), QStringLiteral("nombre"));
        EXPECT_EQ(s.columnLabel(2), QStringLiteral("cuantos"));
        EXPECT_EQ(s.columnLabel(3), QStringLiteral("max"));
    } else {
        EXPECT_EQ(s.columnLabel(1), QStringLiteral("Nombre"));
        EXPECT_EQ(s.columnLabel(2), QStringLiteral("Cuantos"));
        EXPECT_EQ(s.columnLabel(3), QStringLiteral("max(id)"));
    }
    ASSERT_TRUE(s.fetch());
    EXPECT_EQ(s.int64(2), 1);
    EXPECT_THROW(s.column(4), rtl::EListError);
    EXPECT_THROW(s.column(-1), rtl::EListError);
}

TEST_P(EngineTest, ListsTablesAndViewsButNoSystemTables) {
    exec(QStringLiteral("create table alpha (id integer primary key)"));
    exec(QStringLiteral("create table gamma (id integer)"));
    exec(QStringLiteral("create view beta as select id from alpha"));
    if (GetParam() == TestEngine::Sqlite) {
        // Makes SQLite's own sqlite_sequence table appear.
        exec(QStringLiteral("create table delta (id integer primary key autoincrement)"));
        exec(QStringLiteral("insert into delta values (null)"));
    }
    QStringList names = conn.tables(false);
    names.sort();
    QStringList expected{QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("gamma")};
    if (GetParam() == TestEngine::Sqlite) expected << QStringLiteral("delta");
    expected.sort();
    EXPECT_EQ(names, expected);
    QStringList withSynonyms = conn.tables(true);
    withSynonyms.sort();
    EXPECT_EQ(withSynonyms, expected);
}

TEST_P(EngineTest, CommitAndRollback) {
    exec(QStringLiteral("create table t (id integer)"));
    odbc::Connection other;
    other.open(connectionString());
    auto countFrom = [](odbc::Connection& c) {
        odbc::Statement s(c);
        s.execDirect(QStringLiteral("select count(*) from t"));
        EXPECT_TRUE(s.fetch());
        return s.int64(0);
    };

    EXPECT_TRUE(conn.autoCommit());
    conn.setAutoCommit(false);
    EXPECT_FALSE(conn.autoCommit());
    exec(QStringLiteral("insert into t values (1)"));
    EXPECT_EQ(countFrom(conn), 1);
    conn.rollback();
    EXPECT_EQ(countFrom(conn), 0);

    exec(QStringLiteral("insert into t values (2)"));
    conn.commit();
    EXPECT_EQ(countFrom(other), 1) << "a committed row is visible to another session";

    conn.setAutoCommit(true);
    exec(QStringLiteral("insert into t values (3)"));
    EXPECT_EQ(countFrom(other), 2) << "autocommit publishes at once";
}

TEST_P(EngineTest, ErrorsCarryTheDriversDiagnostics) {
    odbc::Statement s(conn);
    try {
        s.execDirect(QStringLiteral("select * from no_such_table"));
        FAIL() << "no error";
    } catch (const odbc::Error& e) {
        EXPECT_EQ(e.sqlState().size(), 5) << e.sqlState().toStdString();
        EXPECT_TRUE(e.driverMessage().contains(QStringLiteral("no_such_table"))) << e.what();
        EXPECT_TRUE(e.message().contains(e.sqlState())) << e.what();
        EXPECT_TRUE(e.message().contains(e.driverMessage())) << e.what();
        EXPECT_FALSE(e.message().contains(u'\n')) << "one line";
    }
    // The statement is still usable after the error.
    s.execDirect(QStringLiteral("select 7"));
    ASSERT_TRUE(s.fetch());
    EXPECT_EQ(s.int64(0), 7);
}

TEST_P(EngineTest, BlockFetchSettingDeliversEveryRowInOrder) {
    exec(QStringLiteral("create table t (id integer, name varchar(20))"));
    QStringList values;
    for (int i = 0; i < 45; ++i) values << QStringLiteral("(%1, 'n%1')").arg(i);
    exec(QStringLiteral("insert into t values ") + values.join(u','));
    for (int size : {1, 20, 50}) {
        SCOPED_TRACE(size);
        odbc::Statement s(conn);
        s.setRowArraySize(size);
        EXPECT_EQ(s.rowArraySize(), size);
        s.execDirect(QStringLiteral("select id, name from t order by id"));
        int n = 0;
        while (s.fetch()) {
            EXPECT_EQ(s.int64(0), n);
            EXPECT_EQ(s.text(1), QStringLiteral("n%1").arg(n));
            ++n;
        }
        EXPECT_EQ(n, 45);
    }
}

TEST_P(EngineTest, StatementsOutliveTheirClosedConnectionSafely) {
    odbc::Statement s(conn);
    s.execDirect(QStringLiteral("select 1"));
    conn.close();
    EXPECT_FALSE(conn.isOpen());
    EXPECT_FALSE(s.hasResultSet());
    EXPECT_THROW(s.execDirect(QStringLiteral("select 1")), odbc::Error);
    EXPECT_THROW(s.fetch(), odbc::Error);
    EXPECT_THROW(odbc::Statement{conn}, odbc::Error);
    // The handle can be opened again.
    conn.open(connectionString());
    odbc::Statement again(conn);
    again.execDirect(QStringLiteral("select 2"));
    ASSERT_TRUE(again.fetch());
    EXPECT_EQ(again.int64(0), 2);
}

TEST_P(EngineTest, MovedHandlesStayUsable) {
    odbc::Connection moved = std::move(conn);
    EXPECT_TRUE(moved.isOpen());
    odbc::Statement s(moved);
    odbc::Statement t = std::move(s);
    t.execDirect(QStringLiteral("select 3"));
    ASSERT_TRUE(t.fetch());
    EXPECT_EQ(t.int64(0), 3);
    EXPECT_THROW(s.execDirect(QStringLiteral("select 1")), odbc::Error);  // NOLINT(bugprone-use-after-move)
}

// Under the C locale, whose character set is ASCII.
TEST_P(EngineTest, NonAsciiTextRoundTripsUnderTheCLocale) {
    conn.close();
    const ProcessLocale c("C");
    ASSERT_TRUE(c.ok());
    conn.open(connectionString());
    const QString name = QStringLiteral("SEñOR PéREZ O'Brien ü €");
    exec(QStringLiteral("create table t (name varchar(60))"));
    exec(QStringLiteral("insert into t values ('SEñOR PéREZ O''Brien ü €')"));
    EXPECT_EQ(scalar(QStringLiteral("select name from t")), name);
    EXPECT_EQ(scalar(QStringLiteral("select %1(name) from t").arg(lengthFunction(GetParam()))),
              QString::number(name.size()));
    // Labels and error messages go through the same conversion.
    odbc::Statement s(conn);
    s.execDirect(QStringLiteral("select name as \"Señor\" from t"));
    EXPECT_EQ(s.columnLabel(0), QStringLiteral("Señor"));
}

// Under the users' own locale (decimal comma) every driver must hand back the
// values a statement stores, whether the result is read row by row or in
// blocks: the PostgreSQL driver writes its exact decimals with the C library's
// decimal point ("10,125").
TEST_P(EngineTest, NumbersReadTheSameUnderACommaLocale) {
    conn.close();
    ProcessLocale comma;
    ASSERT_TRUE(comma.ok());
    conn.open(connectionString());
    exec(QStringLiteral("create table t (id integer, n numeric(14,3), d double precision, f date)"));
    exec(QStringLiteral("insert into t values (1, 10.125, 12.5, '2021-06-28')"));
    exec(QStringLiteral("insert into t values (2, -0.250, -1.5E-5, '2021-06-28')"));
    exec(QStringLiteral("insert into t values (3, 1234567.5, 3, null)"));
    struct Fila {
        double n;
        QString texto;
        double d;
    };
    const Fila esperadas[] = {{10.125, QStringLiteral("10.125"), 12.5},
                              {-0.25, QStringLiteral("-0.250"), -1.5E-5},
                              {1234567.5, QStringLiteral("1234567.500"), 3}};
    for (const int bloque : {1, 50}) {
        SCOPED_TRACE(bloque == 1 ? "row by row" : "in blocks");
        odbc::Statement s(conn);
        s.setRowArraySize(bloque);
        s.execDirect(QStringLiteral("select n, d, n * 2, f, id from t order by id"));
        for (const Fila& e : esperadas) {
            ASSERT_TRUE(s.fetch());
            EXPECT_EQ(s.real(0), e.n);
            // SQLite keeps no trailing zeros of a numeric column.
            if (GetParam() != TestEngine::Sqlite) {
                EXPECT_EQ(s.text(0), e.texto);
            }
            EXPECT_EQ(s.real(1), e.d);
            EXPECT_EQ(s.real(2), e.n * 2);
            EXPECT_FALSE(s.text(2).contains(u',')) << s.text(2).toStdString();
        }
        EXPECT_FALSE(s.fetch());
    }
    EXPECT_EQ(scalar(QStringLiteral("select f from t where id = 1")).left(10), QStringLiteral("2021-06-28"));
}

INSTANTIATE_TEST_SUITE_P(AllEngines, EngineTest,
                         testing::Values(TestEngine::Sqlite, TestEngine::Postgres, TestEngine::MariaDb), engineName);

// ---------------------------------------------------------------- MariaDB

class MariaDbTest : public EngineTest {};

TEST_P(MariaDbTest, BackslashesAreStoredAsTheyAre) {
    exec(QStringLiteral("create table t (name varchar(60))"));
    const QString raw = QStringLiteral("C:\\nuevo\\tabla \\' ñ");
    // With NO_BACKSLASH_ESCAPES only the doubled quote is special.
    exec(QStringLiteral("insert into t values ('C:\\nuevo\\tabla \\'' ñ')"));
    EXPECT_EQ(scalar(QStringLiteral("select name from t")), raw);
    EXPECT_EQ(scalar(QStringLiteral("select char_length(name) from t")), QString::number(raw.size()));
    const QString mode = scalar(QStringLiteral("select @@SESSION.sql_mode"));
    EXPECT_TRUE(mode.contains(QStringLiteral("NO_BACKSLASH_ESCAPES"))) << mode.toStdString();
    EXPECT_TRUE(mode.contains(QStringLiteral("STRICT_TRANS_TABLES"))) << "the server's own modes stay: " << mode.toStdString();
}

INSTANTIATE_TEST_SUITE_P(MariaDb, MariaDbTest, testing::Values(TestEngine::MariaDb), engineName);

}  // namespace
}  // namespace vextest
