// Fetching in blocks must deliver exactly the rows and values that fetching
// row by row does, on every engine, and use one round trip per block where
// the driver allows it.
#include "tests/platform/odbc/engine_fixture.h"

#include "platform/runtime/exception.h"
#include "tests/support/process_locale.h"

#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace vextest {
namespace {

using odbc::Value;
using Rows = std::vector<std::vector<Value>>;

constexpr int kRows = 45;

std::string describe(const Value& v) {
    switch (v.kind) {
    case Value::Kind::Null: return "NULL";
    case Value::Kind::Integer: return "integer " + std::to_string(v.integer);
    case Value::Kind::Real: return "real " + QString::number(v.real, 'g', 17).toStdString();
    case Value::Kind::Text: return "text '" + v.text.left(60).toStdString() + "' (" + std::to_string(v.text.size()) + ")";
    }
    return "?";
}

bool sameValue(const Value& a, const Value& b) {
    return a.kind == b.kind && a.integer == b.integer && a.real == b.real && a.text == b.text;
}

void expectSameRows(const Rows& actual, const Rows& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t r = 0; r < actual.size(); ++r) {
        ASSERT_EQ(actual[r].size(), expected[r].size()) << "row " << r;
        for (size_t c = 0; c < actual[r].size(); ++c)
            EXPECT_TRUE(sameValue(actual[r][c], expected[r][c]))
                << "row " << r << " column " << c << ": " << describe(actual[r][c]) << " instead of "
                << describe(expected[r][c]);
    }
}

// Every row of sql, read with the statement at the given block size.
Rows readAll(odbc::Statement& s, const QString& sql, int blockSize) {
    s.setRowArraySize(blockSize);
    s.execDirect(sql);
    Rows rows;
    while (s.fetch()) {
        EXPECT_TRUE(s.hasRow());
        std::vector<Value> row;
        for (int c = 0; c < s.columnCount(); ++c) row.push_back(s.value(c));
        rows.push_back(std::move(row));
    }
    EXPECT_FALSE(s.hasRow());
    return rows;
}

// The test table's contents, row i: NULLs, empty and non-ASCII text, a name
// that fills its column with two-byte characters, texts far longer than any
// block buffer.
QString nameOf(int i) {
    if (i == 13) return QString(40, QChar(u'ñ'));
    return QStringLiteral("SEñOR PéREZ O'Brien ü € %1").arg(i);
}
QString bodyOf(int i) {
    if (i % 4 == 1) {
        QString t;
        for (int k = 0; k < 400 + 37 * i; ++k) t += QStringLiteral("ñandú-%1 ").arg((k + i) % 10);
        return t;
    }
    return QStringLiteral("cuerpo %1 €").arg(i);
}
bool nameIsNull(int i) { return i % 5 == 0; }
bool nameIsEmpty(int i) { return i % 5 == 1; }
bool amountIsNull(int i) { return i % 6 == 0; }
double amountOf(int i) { return i * 1.25 - 7.1; }
bool bodyIsNull(int i) { return i % 4 == 0; }

QString sqlText(const QString& t) { return u'\'' + QString(t).replace(u'\'', QStringLiteral("''")) + u'\''; }

// Checks rows of "select * from t order by id" against the table's contents
// themselves (not against another reading).
void expectTableContents(const Rows& rows) {
    ASSERT_EQ(rows.size(), static_cast<size_t>(kRows));
    for (int i = 0; i < kRows; ++i) {
        SCOPED_TRACE(i);
        const auto& r = rows[static_cast<size_t>(i)];
        ASSERT_EQ(r.size(), 4u);
        EXPECT_EQ(r[0].kind, Value::Kind::Integer);
        EXPECT_EQ(r[0].integer, i);
        if (amountIsNull(i)) {
            EXPECT_TRUE(r[1].isNull());
        } else {
            EXPECT_EQ(r[1].kind, Value::Kind::Real);
            EXPECT_DOUBLE_EQ(r[1].real, amountOf(i));
        }
        if (nameIsNull(i)) {
            EXPECT_TRUE(r[2].isNull());
        } else {
            EXPECT_EQ(r[2].kind, Value::Kind::Text);
            EXPECT_EQ(r[2].text, nameIsEmpty(i) ? QString() : nameOf(i));
        }
        if (bodyIsNull(i)) {
            EXPECT_TRUE(r[3].isNull());
        } else {
            EXPECT_EQ(r[3].kind, Value::Kind::Text);
            EXPECT_EQ(r[3].text, bodyOf(i));
        }
    }
}

class BlockFetchTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        fill();
    }

    void fill() {
        exec(QStringLiteral("create table t (id integer, amount double precision, name varchar(40), body text)"));
        QStringList values;
        for (int i = 0; i < kRows; ++i) {
            values << QStringLiteral("(%1, %2, %3, %4)")
                          .arg(i)
                          .arg(amountIsNull(i) ? QStringLiteral("null") : QString::number(amountOf(i), 'g', 17))
                          .arg(nameIsNull(i) ? QStringLiteral("null") : sqlText(nameIsEmpty(i) ? QString() : nameOf(i)))
                          .arg(bodyIsNull(i) ? QStringLiteral("null") : sqlText(bodyOf(i)));
        }
        exec(QStringLiteral("insert into t values ") + values.join(u','));
    }

    int engineIndex() const { return static_cast<int>(GetParam()); }
};

// Whether a result is expected in blocks, per engine (SQLite, PostgreSQL,
// MariaDB, in TestEngine's order); Either where the driver's description of
// an expression decides.
enum Blocks { No, Yes, Either };

struct Case {
    const char* name;
    const char* sql;
    Blocks blocks[3];
    int rows;
};

// SQLite keeps text of any length in any column (its integer columns too),
// so only its real columns have a buffer that always fits; MariaDB's driver
// cannot go back into a block, so an unbounded text column keeps it row by
// row; PostgreSQL's reads an overlong value again.
const Case kCases[] = {
    {"integers and reals", "select id, amount from t order by id", {No, Yes, Yes}, kRows},
    {"reals only", "select amount from t order by id", {Yes, Yes, Yes}, kRows},
    {"short texts", "select id, name, amount from t order by id", {No, Yes, Yes}, kRows},
    {"long texts", "select id, body from t order by id", {No, Yes, No}, kRows},
    {"every column", "select * from t order by id", {No, Yes, No}, kRows},
    {"empty result", "select id, name from t where id < 0", {No, Yes, Yes}, 0},
    {"one row", "select id, name from t where id = 7", {No, Yes, Yes}, 1},
    {"decimals", "select id, cast(amount as decimal(12,3)) as d from t order by id", {Either, Yes, Yes}, kRows},
    {"dates", "select id, current_date as today from t order by id", {Either, Yes, Yes}, kRows},
    {"block size rows", "select id, name from t where id < 20 order by id", {No, Yes, Yes}, 20},
};

const int kBlockSizes[] = {1, 2, 7, 20, 45, 50, 5000};

TEST_P(BlockFetchTest, BlocksGiveTheSameRowsAsRowByRow) {
    // One statement for everything: each result must start from a clean
    // handle whatever the one before it did.
    odbc::Statement s(conn);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const QString sql = QString::fromUtf8(c.sql);
        const Rows reference = readAll(s, sql, 1);
        EXPECT_FALSE(s.fetchesInBlocks());
        EXPECT_EQ(s.fetchCallCount(), c.rows + 1);
        ASSERT_EQ(reference.size(), static_cast<size_t>(c.rows));
        for (int size : kBlockSizes) {
            SCOPED_TRACE(size);
            const Rows rows = readAll(s, sql, size);
            expectSameRows(rows, reference);
            const Blocks expected = c.blocks[engineIndex()];
            const bool blocks = expected == Either ? s.fetchesInBlocks() : size > 1 && expected == Yes;
            EXPECT_EQ(s.fetchesInBlocks(), blocks);
            const int perFetch = std::min(size, 1000);
            // A short last block, or none, then one call that finds the end.
            const int calls = blocks ? (c.rows + perFetch - 1) / perFetch + 1 : c.rows + 1;
            EXPECT_EQ(s.fetchCallCount(), calls);
            EXPECT_FALSE(s.fetch()) << "stays at the end";
            EXPECT_THROW(s.value(0), rtl::Exception);
        }
    }
}

TEST_P(BlockFetchTest, LongTextsNullsAndNonAsciiComeBackWhole) {
    odbc::Statement s(conn);
    for (int size : {1, 7, 20, 50}) {
        SCOPED_TRACE(size);
        expectTableContents(readAll(s, QStringLiteral("select id, amount, name, body from t order by id"), size));
    }
}

TEST_P(BlockFetchTest, AResultLeftInMidBlockLeavesTheStatementSound) {
    odbc::Statement s(conn);
    s.setRowArraySize(20);
    s.execDirect(QStringLiteral("select id, amount from t order by id"));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(s.fetch());
        EXPECT_EQ(s.int64(0), i);
    }
    // A new size applies to the next statement only.
    s.setRowArraySize(1);
    const bool blocks = s.fetchesInBlocks();
    ASSERT_TRUE(s.fetch());
    EXPECT_EQ(s.int64(0), 3);
    EXPECT_EQ(s.fetchesInBlocks(), blocks);

    // A statement without a result, then results of other shapes.
    s.execDirect(QStringLiteral("update t set amount = 1.5 where id = 44"));
    EXPECT_FALSE(s.fetchesInBlocks());
    EXPECT_EQ(s.rowsAffected(), 1);
    s.setRowArraySize(7);
    s.execDirect(QStringLiteral("select amount, id from t where id >= 40 order by id"));
    int n = 0;
    while (s.fetch()) {
        EXPECT_EQ(s.int64(1), 40 + n);
        ++n;
    }
    EXPECT_EQ(n, 5);
}

TEST_P(BlockFetchTest, ClosingInMidBlockThenRunningAgain) {
    odbc::Statement s(conn);
    s.setRowArraySize(20);
    s.execDirect(QStringLiteral("select id, name from t order by id"));
    ASSERT_TRUE(s.fetch());
    s.closeCursor();
    EXPECT_FALSE(s.hasResultSet());
    EXPECT_FALSE(s.fetchesInBlocks());
    EXPECT_THROW(s.fetch(), odbc::Error);
    Rows rows = readAll(s, QStringLiteral("select id, name from t order by id"), 20);
    ASSERT_EQ(rows.size(), static_cast<size_t>(kRows));
    EXPECT_EQ(rows[13][1].text, nameOf(13));
    // The connection's other work is unaffected.
    EXPECT_TRUE(conn.tables(false).contains(QStringLiteral("t")));
}

// The C locale's character set is ASCII: text must not go through it.
TEST_P(BlockFetchTest, NonAsciiTextUnderTheCLocale) {
    conn.close();
    const ProcessLocale c("C");
    ASSERT_TRUE(c.ok());
    conn.open(connectionString());
    odbc::Statement s(conn);
    for (int size : {1, 7, 50}) {
        SCOPED_TRACE(size);
        expectTableContents(readAll(s, QStringLiteral("select * from t order by id"), size));
        const Rows names = readAll(s, QStringLiteral("select name from t where id in (2, 13) order by id"), size);
        ASSERT_EQ(names.size(), 2u);
        EXPECT_EQ(names[0][0].text, nameOf(2));
        EXPECT_EQ(names[1][0].text, nameOf(13));
    }
}

INSTANTIATE_TEST_SUITE_P(AllEngines, BlockFetchTest,
                         testing::Values(TestEngine::Sqlite, TestEngine::Postgres, TestEngine::MariaDb), engineName);

// SQLite: text in an integer column stays text, exact integers become
// integers, whatever the block size.
class SqliteBlockFetchTest : public EngineTest {};

TEST_P(SqliteBlockFetchTest, IntegerColumnsHoldingTextReadAlike) {
    exec(QStringLiteral("create table k (n integer, x double precision)"));
    exec(QStringLiteral("insert into k values (1, 1.5), ('abc', 2), ('12', 'xyz'), (null, null), "
                        "('9223372036854775807', 1e300), (' 7', -0.0)"));
    odbc::Statement s(conn);
    const QString sql = QStringLiteral("select n, x from k order by rowid");
    const Rows reference = readAll(s, sql, 1);
    ASSERT_EQ(reference.size(), 6u);
    EXPECT_EQ(reference[1][0].kind, Value::Kind::Text);
    EXPECT_EQ(reference[1][0].text, QStringLiteral("abc"));
    EXPECT_EQ(reference[4][0].integer, 9223372036854775807LL);
    for (int size : {2, 4, 50}) {
        SCOPED_TRACE(size);
        expectSameRows(readAll(s, sql, size), reference);
        const Rows reals = readAll(s, QStringLiteral("select x from k order by rowid"), size);
        EXPECT_TRUE(s.fetchesInBlocks());
        ASSERT_EQ(reals.size(), reference.size());
        for (size_t r = 0; r < reals.size(); ++r) EXPECT_TRUE(sameValue(reals[r][0], reference[r][1])) << r;
    }
}

INSTANTIATE_TEST_SUITE_P(Sqlite, SqliteBlockFetchTest, testing::Values(TestEngine::Sqlite), engineName);

}  // namespace
}  // namespace vextest
